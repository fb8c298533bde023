# An adapter pulled out while a download, then a read, is under way; plugged in again, the
# next runs pass.
. "$IAP_VM_LIB"
settle
socket=$(ls /dev/serial/by-path/*)
# pull_during NAME COMMAND...: runs the command in the background while the test pulls the
# adapter out; its output, exit status and the milliseconds from the pull to its end go to
# NAME.*; then NAME.ended tells the test, and the case waits until it has plugged the adapter
# in again.
pull_during() {
  name=$1
  shift
  "$@" --json > "$RESULTS/$name.out" 2> "$RESULTS/$name.err" &
  pid=$!
  await "$name.pulled"
  pulled=$(date +%s%N)
  wait $pid
  echo $? > "$RESULTS/$name.status"
  echo $(( ($(date +%s%N) - pulled) / 1000000 )) > "$RESULTS/$name.ms"
  tell "$name.ended"
  await "$name.replugged"
  settle
  until [ -e "$socket" ]; do sleep 0.05; done
}
pull_during download "$IAP_CLI" download --port "$socket" --address 08004000 --timeout 30 "$RESULTS/app.bin"
pull_during read "$IAP_CLI" read --port "$socket" --address 08004000 --pages 12 --timeout 30 -o "$RESULTS/read.bin"
record download-again "$IAP_CLI" download --port "$socket" --address 08004000 "$RESULTS/app.bin"
record read-again "$IAP_CLI" read --port "$socket" --address 08004000 --pages 12 -o "$RESULTS/read.bin"
