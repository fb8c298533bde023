# Sourced by the screenshot scripts, with $root and $build set; its arguments are the Debian
# packages a script needs beyond Xvfb and ImageMagick. Builds the programs and the files the
# installation takes (not the tests), installs them into a scratch folder $work/prefix (the
# desktop entry: $entry, checked), stops every process whose pid is in $pids and removes $work at
# exit, and offers wait_for.
"$root/scripts/install-deps.sh" xvfb x11-utils imagemagick desktop-file-utils "$@"

# The tests and benchmarks need not be built for a picture; the installation below needs the
# manual pages and the changelog besides the programs.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target iap iap-sim package_files

work=$(mktemp -d /tmp/iap-XXXXXX)
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# wait_for TENTHS COMMAND...: runs the command every tenth of a second until it succeeds.
wait_for() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "timed out waiting for: $*" >&2
  return 1
}

# start_display WIDTHxHEIGHT: a virtual X display of that size, as $DISPLAY.
start_display() {
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  wait_for "${start_tenths:-100}" test -s "$work/display"
  DISPLAY=:$(cat "$work/display")
  export DISPLAY
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
entry=$prefix/share/applications/iap.desktop
desktop-file-validate "$entry"
