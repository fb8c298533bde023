# Sourced by the guest's cases (. "$IAP_VM_LIB"): what they run and see goes into the shared
# folder, where the test on the host reads it.

# record NAME COMMAND...: runs the command; its output, errors, exit status and wall time in
# milliseconds go to NAME.out, NAME.err, NAME.status and NAME.ms.
record() {
  name=$1
  shift
  start=$(date +%s%N)
  "$@" > "$RESULTS/$name.out" 2> "$RESULTS/$name.err"
  status=$?
  echo $(( ($(date +%s%N) - start) / 1000000 )) > "$RESULTS/$name.ms"
  echo "$status" > "$RESULTS/$name.status"
  echo "$name: exit $status"
  return 0
}

# tell NAME: a file the test waits for.
tell() {
  : > "$RESULTS/$1.new" && mv "$RESULTS/$1.new" "$RESULTS/$1"
}

# await NAME [SECONDS]: until the test has told it (600 s at most).
await() {
  limit=$(( $(date +%s) + ${2:-600} ))
  while [ ! -e "$RESULTS/$1" ]; do
    [ "$(date +%s)" -lt "$limit" ] || { echo "waited in vain for $1"; return 1; }
    sleep 0.05
  done
}

# settle: udev has handled every event so far.
settle() {
  udevadm settle --timeout=60
}
