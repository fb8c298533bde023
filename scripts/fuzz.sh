#!/usr/bin/env bash
# Builds the reply fuzzer with clang, AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of its own and runs it for a bounded time (IAP_FUZZ_SECONDS, 60 by default). Any crash,
# leak or sanitizer report ends the run with a non-zero status and leaves the input that caused
# it in the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${IAP_FUZZ_SECONDS:-60}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DIAP_FUZZ=ON -DIAP_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_replies

corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
"$build/fuzz/fuzz_replies" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=12288 -len_control=0 -print_final_stats=1 \
  -dict="$root/fuzz/replies.dict" -artifact_prefix="$build/" "$corpus"
