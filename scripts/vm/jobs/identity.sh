# Two adapters, A (an HX300 behind it) and B (a VR200), as udev and the tool see them, each
# chosen by its USB identity, its by-id link and its by-path link.
. "$IAP_VM_LIB"
settle
record ports "$IAP_CLI" ports
record ports-json "$IAP_CLI" ports --json
for serial in IAPVMA01 IAPVMB02; do
  id=$(ls /dev/serial/by-id/*"$serial"*)
  tty=$(readlink -f "$id")
  path=
  for link in /dev/serial/by-path/*; do
    [ "$(readlink -f "$link")" = "$tty" ] && path=$link
  done
  echo "$id" > "$RESULTS/by-id-$serial"
  echo "$path" > "$RESULTS/by-path-$serial"
  udevadm info --query=all --name="$tty" > "$RESULTS/udev-$serial"
  cat "/sys/class/tty/$(basename "$tty")/device/latency_timer" > "$RESULTS/latency-$serial"
done
record doctor "$IAP_CLI" doctor
# A technician's account, in no group and at no seat.
useradd --no-create-home --home-dir /tmp tech
mkdir -m 700 /tmp/tech-runtime && chown tech /tmp/tech-runtime
record doctor-user runuser -u tech -- env XDG_RUNTIME_DIR=/tmp/tech-runtime "$IAP_CLI" doctor
a_id=$(cat "$RESULTS/by-id-IAPVMA01"); a_path=$(cat "$RESULTS/by-path-IAPVMA01")
b_id=$(cat "$RESULTS/by-id-IAPVMB02"); b_path=$(cat "$RESULTS/by-path-IAPVMB02")
record a-usb "$IAP_CLI" download --port usb:0403:6001:IAPVMA01 --model HX300 --address 08004000 "$RESULTS/a-usb.bin"
record b-usb "$IAP_CLI" download --port usb:0403:6001:IAPVMB02 --model VR200 --address 08004000 "$RESULTS/b-usb.bin"
record a-by-id "$IAP_CLI" download --port "$a_id" --model HX300 --address 08008000 "$RESULTS/a-by-id.bin"
record b-by-id "$IAP_CLI" download --port "$b_id" --model VR200 --address 08008000 "$RESULTS/b-by-id.bin"
record a-by-path "$IAP_CLI" download --port "$a_path" --model HX300 --address 0800C000 "$RESULTS/a-by-path.bin"
record b-by-path "$IAP_CLI" download --port "$b_path" --model VR200 --address 0800C000 "$RESULTS/b-by-path.bin"
record journal "$IAP_CLI" journal --json
