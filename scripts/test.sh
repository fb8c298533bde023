#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a plain build, and one with
# AddressSanitizer and UndefinedBehaviorSanitizer; last, the reply fuzzer for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen

"$root/scripts/build.sh" "$root/build-test"
(cd "$root/build-test" && ctest --output-on-failure)

"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DIAP_SANITIZE=ON
(cd "$root/build-asan" && ctest --output-on-failure)

if [ -x "$root/scripts/fuzz.sh" ]; then
  "$root/scripts/fuzz.sh"
fi
