# A station with two sockets on their by-path links, trigger appear: socket A's adapter is in at
# the start, socket B's comes later. The test plugs boards in and out (each with an FT232 of its
# own) and pulls one out in mid-transfer; once all are out it says so, and the station's
# descriptors and its use of the processor while it waits go on record.
. "$IAP_VM_LIB"
settle
a=$(ls /dev/serial/by-path/*)
b=$(echo "$a" | sed 's/-usb-0:1:/-usb-0:2:/')
echo "$a" > "$RESULTS/socket-a"
echo "$b" > "$RESULTS/socket-b"
"$IAP_CLI" station --port "$a" --port "$b" --address 08004000 --app "$RESULTS/app.bin" --json > "$RESULTS/station.out" 2> "$RESULTS/station.err" &
pid=$!
tell station-started
await all-out
settle
ls -l /proc/$pid/fd > "$RESULTS/station.fds"
ticks() { awk '{ print $14 + $15 }' /proc/$pid/stat; }
before=$(ticks)
sleep 3
echo $(( $(ticks) - before )) > "$RESULTS/station.idle-ticks"
kill -INT $pid
wait $pid
echo $? > "$RESULTS/station.status"
record journal "$IAP_CLI" journal --json
