#!/usr/bin/env bash
# Makes docs/screenshot.png for the README from the real program: builds, installs into a scratch
# folder, starts a virtual HX300 device and then the installed tool from its desktop entry on a
# virtual X display (Xvfb). It then works the window as a person would (xdotool): an application
# download, a flash write of an image with a header page, F2 to reveal "Read Flash", and takes
# a picture of the window. Usage: scripts/screenshot.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$root/docs/screenshot.png
# Bounds for every wait, in tenths of a second.
start_tenths=100
operation_tenths=300
# Time for the window to take in a reply, or to paint itself, once the device has sent it.
settle_seconds=1

# shellcheck source=scripts/screenshot-common.sh
source "$root/scripts/screenshot-common.sh" xdotool
no_window() { ! xwininfo -name "$1"; }
# more_replies REPLY COUNT: the device has sent REPLY more than COUNT times.
more_replies() { [ "$(grep -c "TX $1" "$log" || true)" -gt "$2" ]; }
program=$(sed -n '/^\[Desktop Entry\]/,/^\[Desktop Action/s/^Exec=//p' "$entry")

# The files of the session: an application image, and a flash image whose header page carries
# its target address 08 00 40 00.
mkdir "$work/firmware"
python3 - "$work/firmware" <<'EOF'
import sys
folder = sys.argv[1]
with open(folder + "/firmware.bin", "wb") as f:
    f.write(bytes((i * 13 + 5) & 0xFF for i in range(20000)))
header = b"Flash Write" + bytes([0x08, 0x00, 0x40, 0x00])
with open(folder + "/config.flash", "wb") as f:
    f.write(header + bytes(2048 - len(header)) + bytes((i * 7 + i // 251) & 0xFF for i in range(5000)))
EOF

# A private runtime folder: the tool sees only the virtual device started here.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
log=$work/device.log
"$prefix/bin/iap-sim" --name HX300 --log "$log" >"$work/device.out" &
pids+=($!)
wait_for $start_tenths grep -q READY "$work/device.out"

start_display 1024x768

QT_QPA_PLATFORM=xcb "$program" &
pids+=($!)
wait_for $start_tenths xwininfo -name IAP
window=$(xwininfo -name IAP | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p')

# press LEFT TOP WIDTH HEIGHT: clicks the middle of a control, placed as in the window's design
# (twips, 15 to a pixel, inside the panel that starts at 120,120).
press() {
  xdotool mousemove --window "$window" $(((120 + $1 + $3 / 2) / 15)) $(((120 + $2 + $4 / 2) / 15)) click 1
}
# choose_file LEFT TOP WIDTH HEIGHT PATH: presses an "Open ... File" button and answers its dialog.
choose_file() {
  press "$1" "$2" "$3" "$4"
  wait_for $start_tenths xwininfo -name Open
  xdotool type --delay 5 "$5"
  xdotool key Return
  wait_for $start_tenths no_window Open
}
# run_operation LEFT TOP WIDTH HEIGHT REPLY: presses an operation button and waits for the
# device's closing reply (hex bytes as in its log), then for the window to take it in.
run_operation() {
  local before
  before=$(grep -c "TX $5" "$log" || true)
  press "$1" "$2" "$3" "$4"
  wait_for $operation_tenths more_replies "$5" "$before"
  sleep $settle_seconds
}
checksum_i="43 68 65 63 6B 73 75 6D 49"
checksum_w="43 68 65 63 6B 73 75 6D 57"

# Download: the application goes to 08 01 00 00, typed into the address boxes.
address_left=(2640 3120 3600 4080)
address_byte=(8 1 0 0)
for i in 0 1 2 3; do
  press "${address_left[i]}" 2640 375 375
  xdotool type "${address_byte[i]}"
done
choose_file 120 6240 4335 735 "$work/firmware/firmware.bin"
run_operation 4680 6240 1815 735 "$checksum_i"

# Flash write of slot 0: the header page fills and locks the address boxes.
choose_file 120 3960 4335 735 "$work/firmware/config.flash"
run_operation 4680 3960 1815 735 "$checksum_w"

if grep -q VIOLATION "$log"; then
  echo "the device saw a protocol violation: see the log below" >&2
  cat "$log" >&2
  exit 1
fi

# F2 in the "Current Page" box reveals "Read Flash".
press 2640 3360 1815 375
xdotool key F2
sleep $settle_seconds

mkdir -p "$(dirname "$out")"
import -window "$window" "png:$out"
echo "$out: $(identify -format '%wx%h' "$out")"
