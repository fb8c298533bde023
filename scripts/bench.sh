#!/usr/bin/env bash
# Builds and runs every benchmark against the virtual device, the journal's against SQLite and a
# private PostgreSQL server, some also through a guest's USB-serial driver; each prints its own
# figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" libqt6sql6-psql postgresql
export QT_QPA_PLATFORM=offscreen
postgres_dir=$(mktemp -d /tmp/iap-postgres.XXXXXX)
trap '"$root/scripts/postgres.sh" stop "$postgres_dir"; rmdir "$postgres_dir" 2>/dev/null || true' EXIT
IAP_TEST_POSTGRES_URL=$("$root/scripts/postgres.sh" start "$postgres_dir")
export IAP_TEST_POSTGRES_URL
"$root/scripts/build.sh" "$root/build"
# Some run once more through a real kernel's USB-serial driver, in a guest of the virtual machine
# bench; where none can boot they say so.
"$root/scripts/vm-bench.sh" prepare --install "$root/build/vm"
for bench in "$root"/build/bench/bench_*; do
  if [ -f "$bench" ] && [ -x "$bench" ]; then "$bench"; fi
done
