#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a plain build, and one with
# AddressSanitizer and UndefinedBehaviorSanitizer, both with a PostgreSQL server for the journal;
# then the reply fuzzer for a bounded time, a syntax check of the sources a Windows build
# compiles, and the Debian package, built and checked.
set -euo pipefail
source "$(dirname "$0")/suite.sh"
# The tests wait on pseudo-terminals and rests far more than they compute: eight run at once,
# the slowest in parts (tests/CMakeLists.txt).
for build in "${SUITE_BUILDS[@]}"; do
  (cd "$build" && ctest --output-on-failure -j8)
done

"$root/scripts/fuzz.sh"
"$root/scripts/check-windows.sh"
"$root/scripts/package.sh"
