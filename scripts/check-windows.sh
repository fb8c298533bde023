#!/usr/bin/env bash
# Syntax-checks every source that a Windows build compiles (all of src/ but the *_posix and
# *_linux files) with MinGW-w64 against this machine's Qt headers. It checks the C++ and the
# Win32 calls; it is not a Windows build, and nobody here builds or runs the tool on Windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qt=$(pkg-config --variable=includedir Qt6Core)
status=0
for file in $(find "$root/src" -name '*.cpp' ! -name '*_posix.cpp' ! -name '*_linux.cpp' | sort); do
  # -Wno-attributes: Linux's Qt headers declare their exports for ELF, not for DLLs.
  if ! x86_64-w64-mingw32-g++-posix -fsyntax-only -std=c++20 -Wall -Wextra -Werror -Wno-attributes -I"$root/src" \
      -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" -DQT_NO_VERSION_TAGGING \
      -DIAP_VERSION_MAJOR=0 -DIAP_VERSION_MINOR=0 -DIAP_VERSION_PATCH=0 "$file"; then
    status=1
  fi
done
[ $status -eq 0 ] && echo "Windows sources: syntax check passed"
exit $status
