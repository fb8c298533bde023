#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a plain build, and one with
# AddressSanitizer and UndefinedBehaviorSanitizer, both with a PostgreSQL server for the journal;
# then the reply fuzzer for a bounded time, a syntax check of the sources a Windows build
# compiles, and the Debian package, built and checked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --for-tests
export QT_QPA_PLATFORM=offscreen

# The journal's PostgreSQL tests talk to a private server of their own, for both runs.
postgres_dir=$(mktemp -d /tmp/iap-postgres.XXXXXX)
trap '"$root/scripts/postgres.sh" stop "$postgres_dir"; rmdir "$postgres_dir" 2>/dev/null || true' EXIT
"$root/scripts/postgres.sh" start "$postgres_dir" >/dev/null
IAP_TEST_POSTGRES_URL=$(cat "$postgres_dir/url")
IAP_TEST_POSTGRES_SOCKET_URL=$(cat "$postgres_dir/socket-url")
export IAP_TEST_POSTGRES_URL IAP_TEST_POSTGRES_SOCKET_URL

"$root/scripts/build.sh" "$root/build-test" -DIAP_WARNINGS_AS_ERRORS=ON
# The tests wait on pseudo-terminals far more than they compute: several run at once.
(cd "$root/build-test" && ctest --output-on-failure -j4)

"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DIAP_SANITIZE=ON -DIAP_WARNINGS_AS_ERRORS=ON
(cd "$root/build-asan" && ctest --output-on-failure -j4)

"$root/scripts/fuzz.sh"
"$root/scripts/check-windows.sh"
"$root/scripts/package.sh"
