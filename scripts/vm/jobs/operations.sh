# Every operation through the driver: adapter 0 leads to an honest device, 1 to one whose sums
# are wrong, 2 to one that never answers, 3 to one whose replies come in small pieces with
# pauses between them.
. "$IAP_VM_LIB"
settle
port() { readlink -f /dev/serial/by-id/*"$1"*; }
honest=$(port IAPVMOP0) wrong=$(port IAPVMOP1) silent=$(port IAPVMOP2) bursty=$(port IAPVMOP3)
files=$RESULTS
record download "$IAP_CLI" download --port "$honest" --address 08004000 "$files/app.bin"
record download-verify "$IAP_CLI" download --port "$honest" --address 08010000 --verify "$files/app.bin"
record write-header "$IAP_CLI" write --port "$honest" "$files/header.flash"
record write-plain "$IAP_CLI" write --port "$honest" --address 08030000 "$files/plain.flash"
record read "$IAP_CLI" read --port "$honest" --address 08004000 --pages 3 -o "$files/read.bin"
record program "$IAP_CLI" program --port "$honest" --address 08040000 --slot0 "$files/header.flash" --app "$files/app.bin" --verify
record wrong-download "$IAP_CLI" download --port "$wrong" --address 08004000 "$files/app.bin"
record wrong-write "$IAP_CLI" write --port "$wrong" "$files/header.flash"
record wrong-read "$IAP_CLI" read --port "$wrong" --address 08004000 --pages 2 -o "$files/wrong-read.bin"
record silent "$IAP_CLI" download --port "$silent" --address 08004000 --timeout 2 "$files/app.bin"
for round in 1 2 3 4; do
  record bursty-write-$round "$IAP_CLI" write --port "$bursty" "$files/header.flash"
done
record journal "$IAP_CLI" journal --json
