#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a plain build, and one with
# AddressSanitizer and UndefinedBehaviorSanitizer; then the reply fuzzer for a bounded time, a
# syntax check of the sources a Windows build compiles, and the Debian package, built and checked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --for-tests
export QT_QPA_PLATFORM=offscreen

"$root/scripts/build.sh" "$root/build-test" -DIAP_WARNINGS_AS_ERRORS=ON
# The tests wait on pseudo-terminals far more than they compute: several run at once.
(cd "$root/build-test" && ctest --output-on-failure -j4)

"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DIAP_SANITIZE=ON -DIAP_WARNINGS_AS_ERRORS=ON
(cd "$root/build-asan" && ctest --output-on-failure -j4)

"$root/scripts/fuzz.sh"
"$root/scripts/check-windows.sh"
"$root/scripts/package.sh"
