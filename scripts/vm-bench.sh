#!/usr/bin/env bash
# The virtual machine bench: a guest on Debian's own kernel whose USB-serial adapters are QEMU's
# emulated FTDI FT232 chips, each wired to a virtual device (iap-sim) on this machine, so that the
# tools run through the kernel's ftdi_sio and cdc_acm drivers, its tty layer and udev. The guest
# has no disk: it boots into a small initramfs that mounts this machine's root read-only (9p)
# under an overlay in memory, starts udev with the package's rule, runs one case and powers off.
#
#   vm-bench.sh prepare [--install] DIR
#       fetches the kernel (apt-get download) into DIR, builds the initramfs and boots a probe
#       guest; DIR/ready names the accelerator that booted it (kvm where a guest really boots
#       with it, else tcg), DIR/unavailable says why no guest can boot here. --install first
#       installs QEMU, busybox-static, kmod and udev with apt-get.
#   vm-bench.sh boot DIR RESULTS QMP CASE [SERIAL@PTY | @PTY ...]
#       boots a guest that runs the shell script CASE with RESULTS as its shared folder
#       /results, a QMP socket at QMP, and one FT232 per argument on its own xHCI port (1, 2,
#       ...) whose UART is the terminal PTY; SERIAL is its USB serial number, and an adapter
#       without one is left unplugged until QMP's device_add plugs it (id aN, chardev sN, N from
#       0). The console goes to RESULTS/console.log. Exits when the guest powers off.
#   vm-bench.sh run DIR CASE [ADAPTERS]
#       by hand: starts ADAPTERS (1) virtual devices, boots a guest that runs CASE with them,
#       and prints what the case printed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
guest="$root/scripts/vm"
packages=(qemu-system-x86 busybox-static kmod udev)

usage() {
  sed -n '/^#   vm-bench.sh/,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
  exit 2
}

# The kernel package the metapackage points at now, fetched and unpacked once per version: the
# kernel, and of its modules those a guest with virtio, 9p, overlay and USB needs.
fetch_kernel() {
  local dir=$1 work meta image
  work="$dir/download"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get download -q linux-image-amd64 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2 || true)
  meta=$(ls "$work"/linux-image-amd64_*.deb 2>/dev/null | head -n 1)
  if [ -z "$meta" ]; then
    # Offline, the kernel fetched before serves.
    if [ -f "$dir/kernel/package" ]; then rm -rf "$work"; return 0; fi
    echo "apt-get download linux-image-amd64 fetched nothing" >&2
    return 1
  fi
  image=$(dpkg-deb -f "$meta" Depends | tr ',' '\n' | sed -n 's/^ *\(linux-image-[0-9][^ ]*\).*/\1/p' | head -n 1)
  [ -n "$image" ] || { echo "linux-image-amd64 names no kernel package" >&2; return 1; }
  if [ "$(cat "$dir/kernel/package" 2>/dev/null)" = "$image" ]; then
    rm -rf "$work"
    return 0
  fi
  (cd "$work" && apt-get download -q "$image" 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2 || true)
  local deb
  deb=$(ls "$work/$image"_*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || { echo "apt-get download $image fetched nothing" >&2; return 1; }
  rm -rf "$dir/kernel" && mkdir -p "$dir/kernel"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$dir/kernel" --wildcards './boot/vmlinuz-*' \
    './lib/modules/*/modules.order' './lib/modules/*/modules.builtin*' \
    './lib/modules/*/kernel/drivers/virtio' './lib/modules/*/kernel/drivers/usb' \
    './lib/modules/*/kernel/net/9p' './lib/modules/*/kernel/fs/9p' './lib/modules/*/kernel/fs/netfs' \
    './lib/modules/*/kernel/fs/fscache' './lib/modules/*/kernel/fs/overlayfs' './lib/modules/*/kernel/fs/configfs'
  local version
  version=$(ls "$dir/kernel/lib/modules")
  /sbin/depmod -b "$dir/kernel" "$version"
  echo "$image" > "$dir/kernel/package"
  rm -rf "$work"
}

# The modules the initramfs loads to reach the root, each after those it needs.
initramfs_modules() {
  local modules=$1
  local wanted=(virtio_pci 9pnet_virtio 9p overlay)
  local name line
  declare -A seen=()
  for name in "${wanted[@]}"; do
    line=$(grep -E "/${name}\.ko:" "$modules/modules.dep")
    local file=${line%%:*} deps=${line#*:}
    local order=()
    for dep in $deps; do order=("$dep" "${order[@]}"); done
    order+=("$file")
    for dep in "${order[@]}"; do
      [ -n "${seen[$dep]:-}" ] && continue
      seen[$dep]=1
      echo "$dep"
    done
  done
}

build_initramfs() {
  local dir=$1 tree version modules
  version=$(ls "$dir/kernel/lib/modules")
  modules="$dir/kernel/lib/modules/$version"
  tree="$dir/initramfs"
  rm -rf "$tree" && mkdir -p "$tree/bin" "$tree/lib/modules"
  cp /bin/busybox "$tree/bin/busybox"
  cp "$guest/initramfs-init" "$tree/init"
  chmod 755 "$tree/init"
  initramfs_modules "$modules" | while read -r file; do
    cp "$modules/$file" "$tree/lib/modules/"
    basename "$file" >> "$tree/lib/modules/order"
  done
  (cd "$tree" && find . | /bin/busybox cpio -o -H newc 2>/dev/null | gzip -1 > "$dir/initrd.gz.new")
  mv "$dir/initrd.gz.new" "$dir/initrd.gz"
  rm -rf "$tree"
}

# Boots a guest that only writes a word, first with KVM where it may work, and keeps the first
# accelerator that brings the word back.
probe() {
  local dir=$1 accel results log
  results=$(mktemp -d "$dir/probe.XXXXXX")
  for accel in kvm tcg; do
    if [ "$accel" = kvm ] && ! [ -w /dev/kvm ]; then continue; fi
    rm -f "$results/probe"
    log="$results/qemu-$accel.log"
    if IAP_VM_ACCEL=$accel timeout 120 "$0" boot "$dir" "$results" "$results/qmp" "$guest/probe.sh" >"$log" 2>&1 &&
      [ "$(cat "$results/probe" 2>/dev/null)" = booted ]; then
      echo "$accel" > "$dir/ready"
      rm -f "$dir/unavailable"
      rm -rf "$results"
      return 0
    fi
  done
  { echo "no guest boots here: QEMU said"; tail -n 5 "$results"/qemu-*.log; } > "$dir/unavailable"
  rm -rf "$results"
  return 1
}

prepare() {
  local install=0
  if [ "${1:-}" = --install ]; then install=1; shift; fi
  local dir=${1:-}
  [ -n "$dir" ] || usage
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  rm -f "$dir/ready"
  [ $install -eq 1 ] && "$root/scripts/install-deps.sh" "${packages[@]}"
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "not installed: ${missing[*]} (scripts/install-deps.sh --for-tests installs them)" > "$dir/unavailable"
    cat "$dir/unavailable" >&2
    return 0
  fi
  if ! fetch_kernel "$dir" 2> "$dir/fetch.log"; then
    { echo "the guest's kernel could not be fetched:"; cat "$dir/fetch.log"; } > "$dir/unavailable"
    cat "$dir/unavailable" >&2
    return 0
  fi
  rm -f "$dir/fetch.log"
  build_initramfs "$dir"
  if probe "$dir"; then
    echo "virtual machine bench ready in $dir ($(cat "$dir/ready"), $(cat "$dir/kernel/package"))"
  else
    cat "$dir/unavailable" >&2
  fi
}

boot() {
  [ $# -ge 4 ] || usage
  local dir=$1 results=$2 qmp=$3 case=$4
  shift 4
  dir=$(cd "$dir" && pwd)
  local accel=${IAP_VM_ACCEL:-$(cat "$dir/ready")}
  local version
  version=$(ls "$dir/kernel/lib/modules")
  # no_timer_check: on a loaded host an emulated machine's timer may miss the kernel's early
  # check of it, which then panics ("IO-APIC + timer doesn't work") before the case starts.
  local args=(-machine q35 -accel "$accel" -smp 1 -m 1024 -nodefaults -no-reboot -display none
    -serial "file:$results/console.log"
    -kernel "$dir/kernel/boot/vmlinuz-$version" -initrd "$dir/initrd.gz"
    -append "console=ttyS0 quiet panic=-1 no_timer_check iap.init=$guest/guest-init.sh iap.modules=$dir/kernel/lib/modules iap.case=$case"
    -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap"
    -virtfs "local,path=$results,mount_tag=results,security_model=none,multidevs=remap"
    -qmp "unix:$qmp,server=on,wait=off"
    -device "qemu-xhci,id=xhci,p2=8,p3=8")
  local n=0 adapter serial pty
  for adapter in "$@"; do
    serial=${adapter%%@*}
    pty=${adapter#*@}
    args+=(-chardev "serial,id=s$n,path=$pty")
    [ -n "$serial" ] && args+=(-device "usb-serial,id=a$n,bus=xhci.0,port=$((n + 1)),chardev=s$n,serial=$serial")
    n=$((n + 1))
  done
  exec qemu-system-x86_64 "${args[@]}"
}

run() {
  [ $# -ge 2 ] || usage
  local dir=$1 case=$2 count=${3:-1}
  local sim="$root/build/sim/iap-sim"
  [ -x "$sim" ] || sim="$root/build-test/sim/iap-sim"
  # Global: the trap at the exit needs them.
  work=$(mktemp -d /tmp/iap-vm.XXXXXX)
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  mkdir "$work/results"
  local adapters=() i
  pids=()
  for ((i = 0; i < count; i++)); do
    "$sim" --name "vm-$i" --log "$work/sim-$i.log" --image "$work/flash-$i.bin" > "$work/sim-$i.ready" &
    pids+=($!)
    while ! grep -q '^READY ' "$work/sim-$i.ready"; do sleep 0.05; done
    adapters+=("IAPVM$i@$(cut -d' ' -f2 "$work/sim-$i.ready")")
  done
  # The guest has a /tmp of its own: the case goes where it can read it.
  cp "$case" "$work/results/case.sh"
  trap 'kill "${pids[@]}" 2>/dev/null || true; wait; echo "results, logs and flash images: $work"' EXIT
  local build
  build=$(dirname "$(dirname "$sim")")
  cat > "$work/results/env" <<EOF
export IAP_CLI=$build/src/cli/iap-cli IAP_SIM=$build/sim/iap-sim IAP_APP=$build/src/iap
EOF
  boot "$dir" "$work/results" "$work/qmp" /results/case.sh "${adapters[@]}" &
  wait $! || true
  cat "$work/results/case.log" 2>/dev/null || true
}

command=${1:-}
shift || true
case "$command" in
  prepare) prepare "$@" ;;
  boot) boot "$@" ;;
  run) run "$@" ;;
  *) usage ;;
esac
