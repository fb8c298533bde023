# A station (trigger appear) with one socket on the by-path link of the guest's first USB port,
# whose adapter is plugged in later; it runs until the test says stop.
. "$IAP_VM_LIB"
settle
socket=/dev/serial/by-path/pci-$(basename /sys/bus/pci/drivers/xhci_hcd/0000:*)-usb-0:1:1.0-port0
"$IAP_CLI" station --port "$socket" --address 08004000 --app "$RESULTS/app.bin" --json > "$RESULTS/station.out" 2> "$RESULTS/station.err" &
pid=$!
tell station-started
await stop
kill -INT $pid
wait $pid
