#!/usr/bin/env bash
# Builds the fuzzers with clang, AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of their own and runs them for a bounded time (IAP_FUZZ_SECONDS in all, 60 by default:
# three quarters for the reply fuzzer, a quarter for the image readers'). Any crash, leak or
# sanitizer report ends the run with a non-zero status and leaves the input that caused it in
# the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${IAP_FUZZ_SECONDS:-60}
image_seconds=$(( seconds / 4 > 0 ? seconds / 4 : 1 ))
reply_seconds=$(( seconds - image_seconds > 0 ? seconds - image_seconds : 1 ))

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DIAP_FUZZ=ON -DIAP_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_replies fuzz_images

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$build/fuzz-corpus" "$build/fuzz-images-corpus"
"$build/fuzz/fuzz_replies" -max_total_time="$reply_seconds" -timeout=10 -rss_limit_mb=4096 -max_len=12288 -len_control=0 -print_final_stats=1 \
  -dict="$root/fuzz/replies.dict" -artifact_prefix="$build/" "$build/fuzz-corpus"
"$build/fuzz/fuzz_images" -max_total_time="$image_seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 -print_final_stats=1 \
  -dict="$root/fuzz/images.dict" -artifact_prefix="$build/images-" "$build/fuzz-images-corpus"
