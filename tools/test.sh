#!/usr/bin/env bash
# Builds the kit and runs every test: installs what is missing, configures
# build/ with the dev preset, as tools/demo.sh does (so neither rebuilds
# what the other built), builds with warnings as errors (the timing
# programs of bench/ too, so that they keep building), and runs CTest.
# Usage: bash tools/test.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/ensure_packages.sh"
zor_ensure_packages
cd "$root"
cmake --preset dev
cmake --build --preset dev
ctest --preset dev
