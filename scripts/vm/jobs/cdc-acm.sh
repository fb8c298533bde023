# A CDC-ACM board made inside the guest: a USB gadget with an ACM function on the dummy host
# controller, so that the tools reach it through the real cdc_acm driver (/dev/ttyACM0) and the
# virtual device serves the gadget's end (/dev/ttyGS0).
. "$IAP_VM_LIB"
settle
modprobe dummy_hcd && modprobe libcomposite || exit 1
mountpoint -q /sys/kernel/config || mount -t configfs none /sys/kernel/config
gadget=/sys/kernel/config/usb_gadget/iap
mkdir "$gadget"
echo 0x1d6b > "$gadget/idVendor"
echo 0x0104 > "$gadget/idProduct"
mkdir "$gadget/strings/0x409"
echo IAPVMACM0 > "$gadget/strings/0x409/serialnumber"
echo "IAP bench" > "$gadget/strings/0x409/manufacturer"
echo "CDC-ACM board" > "$gadget/strings/0x409/product"
mkdir "$gadget/configs/c.1" "$gadget/functions/acm.board"
ln -s "$gadget/functions/acm.board" "$gadget/configs/c.1/"
echo "$(ls /sys/class/udc | head -n 1)" > "$gadget/UDC"
settle
until [ -e /dev/ttyACM0 ] && [ -e /dev/ttyGS0 ]; do sleep 0.05; done
udevadm info --query=all --name=/dev/ttyACM0 > "$RESULTS/udev-acm"
"$IAP_SIM" --terminal /dev/ttyGS0 --log "$RESULTS/sim.log" --image /tmp/flash.bin > "$RESULTS/sim.ready" &
sim=$!
until grep -q '^READY' "$RESULTS/sim.ready"; do sleep 0.05; done
record ports "$IAP_CLI" ports
record download "$IAP_CLI" download --port usb:1d6b:0104:IAPVMACM0 --address 08004000 "$RESULTS/app.bin"
record write "$IAP_CLI" write --port /dev/ttyACM0 --address 08010000 "$RESULTS/app.bin"
record read "$IAP_CLI" read --port /dev/ttyACM0 --address 08004000 --pages 2 -o "$RESULTS/read.bin"
kill $sim
wait $sim
cp /tmp/flash.bin "$RESULTS/flash.bin"
