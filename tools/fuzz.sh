#!/usr/bin/env bash
# Fuzzes every reader of a user's bytes: builds the libFuzzer targets with
# Debian's clang (AddressSanitizer and UBSan on) in build-fuzz/, then runs
# each for SECONDS (default 60) from its seed corpus and regressions. New
# inputs go to fuzz-findings/TARGET/corpus/; an input that breaks a target
# is written to fuzz-findings/TARGET/ and the script exits 1.
# Usage: bash tools/fuzz.sh [SECONDS] [TARGET...]   (targets: day results checker raw entries trace list_judge shown_text)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(day results checker raw entries trace list_judge shown_text)
source "$root/tools/ensure_packages.sh"
zor_packages+=(clang libclang-rt-14-dev)
zor_ensure_packages
(cd "$root" && cmake --preset fuzz && cmake --build --preset fuzz) > /dev/null
status=0
for target in "${targets[@]}"; do
  findings="$root/fuzz-findings/$target"
  mkdir -p "$findings/corpus"
  log="$findings/last_run.log"
  # libFuzzer refuses a folder that does not exist; git keeps no empty one.
  folders=("$findings/corpus")
  for folder in "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target"; do
    [ -d "$folder" ] && folders+=("$folder")
  done
  if "$root/build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$findings/" "${folders[@]}" > "$log" 2>&1; then
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)
    echo "fuzz_$target: ${seconds} s, no fault: ${done_line#*DONE   }"
  else
    echo "fuzz_$target: FAULT found; the input and the log are in $findings/" >&2
    grep -E 'property|ERROR|runtime error' "$log" | head -n 3 >&2 || true
    status=1
  fi
done
exit $status
