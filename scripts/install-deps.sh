#!/usr/bin/env bash
# Installs what the tool and its virtual device need on Debian 12; with --for-tests also what the
# tests (the virtual machine bench's QEMU, busybox and udev among them), the fuzzer, the Windows
# syntax check and the package need; with --for-package what the
# package needs and checks with. Further arguments name more packages.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libasound2-dev zlib1g-dev libudev-dev
  libqt6sql6-sqlite
  fonts-wqy-microhei
  desktop-file-utils
)
for argument in "$@"; do
  if [ "$argument" = "--for-tests" ]; then
    packages+=(binutils clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix help2man dpkg-dev lintian file appstream man-db libqt6sql6-psql postgresql chromium
               qemu-system-x86 busybox-static kmod udev)
  elif [ "$argument" = "--for-package" ]; then
    packages+=(help2man dpkg-dev lintian file appstream man-db)
  else
    packages+=("$argument")
  fi
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
