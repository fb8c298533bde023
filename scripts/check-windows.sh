#!/usr/bin/env bash
# Syntax-checks every source that a Windows build compiles (all of src/ but the *_posix and
# *_linux files) with MinGW-w64 against this machine's Qt headers. It checks the C++ and the
# Win32 calls; it is not a Windows build, and nobody here builds or runs the tool on Windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qt=$(pkg-config --variable=includedir Qt6Core)
# zlib's two headers, without the rest of this machine's /usr/include.
zlib=$(mktemp -d)
trap 'rm -rf "$zlib"' EXIT
zlib_headers=$(pkg-config --variable=includedir zlib)
ln -s "$zlib_headers/zlib.h" "$zlib_headers/zconf.h" "$zlib/"
# -Wno-attributes: Linux's Qt headers declare their exports for ELF, not for DLLs.
find "$root/src" -name '*.cpp' ! -name '*_posix.cpp' ! -name '*_linux.cpp' -print0 | sort -z |
  xargs -0 -n 1 -P "$(nproc)" x86_64-w64-mingw32-g++-posix -fsyntax-only -std=c++20 -Wall -Wextra -Werror -Wno-attributes \
    -I"$root/src/engine" -I"$root/src/desktop" -I"$root/src/window" -I"$root/src/station_window" -I"$root/src/cli" -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" -I"$qt/QtSerialPort" -I"$qt/QtSql" -I"$qt/QtNetwork" -I"$zlib" -DQT_NO_VERSION_TAGGING \
    -DIAP_VERSION_MAJOR=0 -DIAP_VERSION_MINOR=0 -DIAP_VERSION_PATCH=0 -DIAP_VERSION=\"0\"
echo "Windows sources: syntax check passed"
