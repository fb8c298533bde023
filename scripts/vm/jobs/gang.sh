# Three adapters at once: a download to two of them in one run, then a station with a socket on
# each adapter's by-path link, whose boards are in at its start.
. "$IAP_VM_LIB"
settle
link() { for l in /dev/serial/by-path/*; do [ "$(readlink -f "$l")" = "$(readlink -f /dev/serial/by-id/*"$1"*)" ] && echo "$l"; done; }
a=$(link IAPVMG0) b=$(link IAPVMG1) c=$(link IAPVMG2)
echo "$a $b $c" > "$RESULTS/sockets"
record download "$IAP_CLI" download --port "$a" --port "$b" --address 08004000 "$RESULTS/app.bin"
"$IAP_CLI" station --port "$a" --port "$b" --port "$c" --address 08010000 --app "$RESULTS/app.bin" --json > "$RESULTS/station.out" 2> "$RESULTS/station.err" &
pid=$!
until [ "$(grep -c '"event":"round"' "$RESULTS/station.out")" -ge 3 ]; do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
kill -INT $pid
wait $pid
echo $? > "$RESULTS/station.status"
record journal "$IAP_CLI" journal --json
