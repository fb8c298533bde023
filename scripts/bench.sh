#!/usr/bin/env bash
# Builds and runs every benchmark against the virtual device; each prints its own figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
"$root/scripts/build.sh" "$root/build"
for bench in "$root"/build/bench/bench_*; do
  if [ -f "$bench" ] && [ -x "$bench" ]; then "$bench"; fi
done
