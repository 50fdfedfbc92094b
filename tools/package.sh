#!/usr/bin/env bash
# Builds the Debian package: configures build-package/ for /usr (so the
# libraries and .pc files go to the multiarch folders), builds in Release,
# runs cpack, and checks the package with lintian where it is installed.
# Usage: bash tools/package.sh   -> build-package/zor-kit_VERSION_ARCH.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/ensure_packages.sh"
zor_ensure_packages
(cd "$root" && cmake --preset package && cmake --build --preset package) > /dev/null
rm -f "$root"/build-package/zor-kit_*.deb  # an older version's package would be listed too
(cd "$root/build-package" && cpack -G DEB > /dev/null)
deb=$(ls "$root"/build-package/zor-kit_*.deb)
echo "$deb"
if command -v lintian > /dev/null; then lintian "$deb" || true; fi
