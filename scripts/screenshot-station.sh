#!/usr/bin/env bash
# Makes docs/station.png for the README from the real program: builds, installs into a scratch
# folder, starts a virtual HX300 device that is no socket yet and the installed station from its
# desktop entry's "IAP Station" action on a virtual X display (Xvfb), with a job and four named
# sockets remembered from a last session. Then it puts a board into each socket (four more
# devices: two good boards, one whose flash write fails, one slow board), waits for the verdicts
# and takes a picture of the window.
# Usage: scripts/screenshot-station.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$root/docs/station.png
# Bounds for every wait, in tenths of a second.
start_tenths=100
round_tenths=600
# Time for the window to paint the last verdict once the device has sent it.
settle_seconds=1

# shellcheck source=scripts/screenshot-common.sh
# Its firmware files are made by python3; the package named also keeps `source` from handing on
# this script's own arguments (the build folder) as packages to install.
source "$root/scripts/screenshot-common.sh" python3
program=$(sed -n '/^\[Desktop Action station\]/,/^\[/s/^Exec=//p' "$entry")

mkdir "$work/firmware"
python3 - "$work/firmware" <<'PY'
import sys
folder = sys.argv[1]
with open(folder + "/firmware.bin", "wb") as f:
    f.write(bytes((i * 13 + 5) & 0xFF for i in range(40000)))
header = b"Flash Write" + bytes([0x08, 0x04, 0x00, 0x00])
with open(folder + "/config.flash", "wb") as f:
    f.write(header + bytes(2048 - len(header)) + bytes((i * 7 + i // 251) & 0xFF for i in range(5000)))
PY

export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME/iap"
names=(A1 A2 A3 A4)
options=("" "" "--wrong-sum" "--program-ms 400")
settings="$XDG_CONFIG_HOME/iap/station.conf"
{
  echo "[General]"
  echo "journal=$work/data/journal.sqlite"
  echo "[job]"
  echo "model=HX300"
  echo "address=08004000"
  echo "slot0=$work/firmware/config.flash"
  echo "application=$work/firmware/firmware.bin"
  echo "[sockets]"
  for i in 0 1 2 3; do
    link=$XDG_RUNTIME_DIR/iap-ports/fixture-${names[i]}
    echo "$((i + 1))\\name=Fixture ${names[i]}"
    echo "$((i + 1))\\port=fixture-${names[i]}"
    echo "$((i + 1))\\path=$link"
    echo "$((i + 1))\\byPath="
  done
  echo "size=4"
} >"$settings"

# A fifth fixture, not yet a socket: the port box offers it.
"$prefix/bin/iap-sim" --name fixture-B1 --log "$work/B1.log" >"$work/B1.out" &
pids+=($!)
wait_for $start_tenths grep -q READY "$work/B1.out"

start_display 1600x900

# shellcheck disable=SC2086
QT_QPA_PLATFORM=xcb $program &
pids+=($!)
wait_for $start_tenths xwininfo -name "IAP Station"
window=$(xwininfo -name "IAP Station" | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p')

# The boards are put in once the station is open: a board already in its socket when the station
# opens waits for Start.
for i in 0 1 2 3; do
  # shellcheck disable=SC2086
  "$prefix/bin/iap-sim" --name "fixture-${names[i]}" --bootloader-version "V2.3$i" --log "$work/${names[i]}.log" ${options[i]} >"$work/${names[i]}.out" &
  pids+=($!)
  wait_for $start_tenths grep -q READY "$work/${names[i]}.out"
done

# The verdicts: two downloads right, one flash write wrong; the slow board is still at work.
checksum_i="43 68 65 63 6B 73 75 6D 49"
checksum_w="43 68 65 63 6B 73 75 6D 57"
wait_for $round_tenths grep -q "TX $checksum_i" "$work/A1.log"
wait_for $round_tenths grep -q "TX $checksum_i" "$work/A2.log"
wait_for $round_tenths grep -q "TX $checksum_w" "$work/A3.log"
sleep $settle_seconds

mkdir -p "$(dirname "$out")"
import -window "$window" "png:$out"
echo "$out: $(identify -format '%wx%h' "$out")"
