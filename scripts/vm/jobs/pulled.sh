# An adapter pulled out while a download, then a read, is under way; plugged in again, the
# next run passes.
. "$IAP_VM_LIB"
settle
socket=$(ls /dev/serial/by-path/*)
# pull_during NAME COMMAND...: runs the command in the background; once it has reached page 3
# the test pulls the adapter out; the run's output, exit status and the milliseconds from the
# pull to its end go to NAME.*, the descriptors it holds right after the pull to NAME.fds; then
# NAME.ended tells the test, and the case waits until it has plugged the adapter in again.
pull_during() {
  name=$1
  shift
  "$@" --json > "$RESULTS/$name.out" 2> "$RESULTS/$name.err" &
  pid=$!
  until grep -q '"page":3,' "$RESULTS/$name.out"; do
    kill -0 $pid 2>/dev/null || break
    sleep 0.02
  done
  tell "$name.pull"
  await "$name.pulled"
  pulled=$(date +%s%N)
  ls -l /proc/$pid/fd > "$RESULTS/$name.fds" 2>/dev/null
  wait $pid
  echo $? > "$RESULTS/$name.status"
  echo $(( ($(date +%s%N) - pulled) / 1000000 )) > "$RESULTS/$name.ms"
  tell "$name.ended"
  await "$name.replugged"
  settle
  until [ -e "$socket" ]; do sleep 0.05; done
}
pull_during download "$IAP_CLI" download --port "$socket" --address 08004000 --timeout 30 "$RESULTS/app.bin"
record download-again "$IAP_CLI" download --port "$socket" --address 08004000 "$RESULTS/app.bin"
pull_during read "$IAP_CLI" read --port "$socket" --address 08004000 --pages 12 --timeout 30 -o "$RESULTS/read.bin"
record read-again "$IAP_CLI" read --port "$socket" --address 08004000 --pages 12 -o "$RESULTS/read.bin"
