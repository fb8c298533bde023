#!/bin/sh
# The guest's init on the host's root: a system in memory with the package's udev rule and udev
# itself, then the case named by iap.case= on the kernel's command line, its output in
# /results/case.log and its exit status in /results/case.status; then the guest powers off.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
for word in $(cat /proc/cmdline); do
  case "$word" in
    iap.modules=*) modules=${word#iap.modules=} ;;
    iap.case=*) case=${word#iap.case=} ;;
  esac
done
here=$(dirname "$0")
root=$(cd "$here/../.." && pwd)

mkdir -p /usr/lib/modules /results
mount --bind "$modules" /usr/lib/modules
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 results /results
for dir in /tmp /run /var/tmp /var/log /root; do mount -t tmpfs -o mode=1777 scratch "$dir"; done
mkdir -p /dev/pts /dev/shm /run/udev
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs shm /dev/shm
hostname iap-vm
ip link set lo up 2>/dev/null || true

# As the package installs it, before udev sees any adapter.
cp "$root/packaging/60-iap.rules" /usr/lib/udev/rules.d/60-iap.rules
/lib/systemd/systemd-udevd --daemon
udevadm trigger --action=add --type=subsystems
udevadm trigger --action=add --type=devices
udevadm settle --timeout=120

export IAP_ROOT="$root" IAP_VM_LIB="$here/case-lib.sh" RESULTS=/results HOME=/root XDG_RUNTIME_DIR=/run/user/0 XDG_DATA_HOME=/root/data \
  XDG_CONFIG_HOME=/root/config QT_QPA_PLATFORM=offscreen
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
[ -f /results/env ] && . /results/env
cd /tmp
sh "$case" > /results/case.log 2>&1
echo $? > /results/case.status.new
mv /results/case.status.new /results/case.status
sync
/bin/busybox poweroff -f
