#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target, default 60]; QV_JOBS sets how many compilers run at once.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

if ! command -v clang++ >/dev/null; then
    echo "fuzz.sh needs clang++ (and libclang-rt-dev for libFuzzer)" >&2
    exit 1
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_BUILD_FUZZ=ON -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" >/dev/null
cmake --build build-fuzz --target HelperRequestFuzz --parallel "${QV_JOBS:-$(nproc)}"

corpus=build-fuzz/corpus/HelperRequest
mkdir -p "$corpus"
./build-fuzz/fuzz/HelperRequestFuzz -max_total_time="$seconds" -max_len=70000 -print_final_stats=1 \
    -dict=fuzz/HelperRequest.dict "$corpus" fuzz/corpus/HelperRequest
