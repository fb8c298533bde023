# Sourced by the scripts that run the test suite: installs what the tests need (and the packages
# named in EXTRA_PACKAGES), starts a private PostgreSQL server for the journal's tests (stopped,
# with whatever else is named in CLEANUP, when the script exits) and builds the suite twice, a
# plain build in build-test and one with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan. SUITE_BUILDS names the two folders.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh" --for-tests ${EXTRA_PACKAGES:-}
export QT_QPA_PLATFORM=offscreen
# The yield report's page is checked in a real browser, which the suite never skips.
export IAP_TEST_REQUIRE_BROWSER=1

postgres_dir=$(mktemp -d /tmp/iap-postgres.XXXXXX)
CLEANUP=${CLEANUP:-}
trap 'eval "$CLEANUP"; "$root/scripts/postgres.sh" stop "$postgres_dir"; rmdir "$postgres_dir" 2>/dev/null || true' EXIT
"$root/scripts/postgres.sh" start "$postgres_dir" >/dev/null
IAP_TEST_POSTGRES_URL=$(cat "$postgres_dir/url")
IAP_TEST_POSTGRES_SOCKET_URL=$(cat "$postgres_dir/socket-url")
export IAP_TEST_POSTGRES_URL IAP_TEST_POSTGRES_SOCKET_URL

"$root/scripts/build.sh" "$root/build-test" -DIAP_WARNINGS_AS_ERRORS=ON
"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DIAP_SANITIZE=ON -DIAP_WARNINGS_AS_ERRORS=ON
SUITE_BUILDS=("$root/build-test" "$root/build-asan")
