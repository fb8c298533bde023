#!/usr/bin/env bash
# Runs the test suite (the plain and the sanitized build) N times, 10 unless given, while eight
# busy processes load the machine beside it, as a line PC that programs many sockets, keeps a
# journal and shows a desktop is loaded; then prints, per test, how often it passed and failed.
# Exit status 1 when any run of any test failed.
#   stress-test.sh [N]
set -euo pipefail
runs=${1:-10}
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [N]   (N: how many runs, 10 unless given)" >&2; exit 2; }
EXTRA_PACKAGES=stress-ng
CLEANUP='kill "${load:-}" 2>/dev/null || true'
source "$(dirname "$0")/suite.sh"

stress-ng --cpu 8 --quiet &
load=$!
declare -A passed failed
for ((run = 1; run <= runs; ++run)); do
  for build in "${SUITE_BUILDS[@]}"; do
    log=$(mktemp)
    (cd "$build" && ctest --output-on-failure -j8 >"$log" 2>&1) || true
    while read -r name verdict; do
      key="$(basename "$build")/$name"
      if [ "$verdict" = Passed ]; then passed[$key]=$((${passed[$key]:-0} + 1)); else failed[$key]=$((${failed[$key]:-0} + 1)); fi
    done < <(sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?([A-Za-z]+).*/\1 \3/p' "$log")
    if grep -q "^The following tests FAILED" "$log"; then
      echo "run $run, $(basename "$build"):" >&2
      grep -E "^(FAIL!|   Loc|   Actual|   Expected)" "$log" >&2 || true
    fi
    rm -f "$log"
  done
  echo "run $run of $runs done"
done

echo
printf '%-36s %6s %6s\n' test passed failed
any=0
for key in $(printf '%s\n' "${!passed[@]}" "${!failed[@]}" | sort -u); do
  printf '%-36s %6d %6d\n' "$key" "${passed[$key]:-0}" "${failed[$key]:-0}"
  [ "${failed[$key]:-0}" -eq 0 ] || any=1
done
exit $any
