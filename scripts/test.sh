#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything and runs every test; then a short
# fuzzing run of the helper's request decoder (QV_FUZZ_SECONDS=0 skips it) and the same tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (QV_SANITIZE=0 skips that pass).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

./scripts/check-format.sh

./scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure --parallel "$(nproc)"

if [ "${QV_FUZZ_SECONDS:-30}" != "0" ] && command -v clang++ >/dev/null; then
    ./scripts/fuzz.sh "${QV_FUZZ_SECONDS:-30}"
fi

if [ "${QV_SANITIZE:-1}" != "0" ]; then
    ./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Asan -DQV_BUILD_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)"
fi
