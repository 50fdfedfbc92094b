#!/usr/bin/env bash
# Installs the Debian packages the kit needs to build, test and package
# itself, if any is missing; as root, or through sudo. Sourced by
# tools/demo.sh and tools/test.sh, so each README command sets up a
# fresh machine by itself. bubblewrap makes the box each user's program
# runs in (sandbox/); libsodium draws a secret battery; keyutils' keyctl
# lets the tests show that a run cannot reach the grader's keys; chromium
# opens the report as a teacher would. The JDK and Go build and run the
# simulators the tests grade as students write them, in Java and Go; zip
# and unzip write Gradescope's autograder and read the platforms' downloads.
zor_packages=(cmake g++ make libgtest-dev valgrind libxml2-utils libcli11-dev libboost-math-dev libbenchmark-dev
              scdoc man-db pkg-config dpkg-dev file libxml2-dev bubblewrap jq
              libsodium-dev keyutils chromium default-jdk-headless golang-go zip unzip)

zor_ensure_packages() {
  local missing=() p
  for p in "${zor_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "Installing what the kit needs: ${missing[*]}" >&2
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}
