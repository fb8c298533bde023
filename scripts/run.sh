#!/usr/bin/env bash
# Installs what is needed, builds the tool, its command line and its virtual device, starts a
# virtual HX300 device and then the tool, which finds the device as its preselected port. The device's flash is kept in build/virtual-flash.bin.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# The programs the README's examples run, not the tests and benchmarks: the test script builds
# those.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target iap iap-sim iap-cli

"$root/build/sim/iap-sim" --image "$root/build/virtual-flash.bin" --log "$root/build/virtual-device.log" \
  > "$root/build/virtual-device.out" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null' EXIT
for _ in $(seq 100); do
  grep -q READY "$root/build/virtual-device.out" 2>/dev/null && break
  kill -0 $sim 2>/dev/null || { echo "the virtual device did not start" >&2; exit 1; }
  sleep 0.1
done
echo "Virtual device: $(cat "$root/build/virtual-device.out")"
"$root/build/src/iap"
