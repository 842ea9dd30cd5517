#!/usr/bin/env bash
# Installs what is missing, checks the formatting and that only shared/core starts work on other threads
# (scripts/check-threads.sh), builds everything and runs every test; then a short
# fuzzing run of the helper's request decoder (QV_FUZZ_SECONDS=0 skips it) and the tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (QV_SANITIZE=0 skips that pass). The sanitizer pass builds
# the whole program and libraries but leaves out the view test programs (tests/shared/views, tests/shared/ui,
# tests/app/popover, tests/app/settings, all but their "lifetimes" folders), the benchmarks and qv-snapshots:
# it runs the engine, store, platform, helper, app core and app shell tests, where the memory handling is, and
# the views' lifetime tests, but not the memory figures measured against the machine. The tests include the layout
# audit of every view (qv-snapshots --audit, one test per theme). Each phase prints its wall time.
set -euo pipefail
cd "$(dirname "$0")/.."
phase() { echo "== $1 done after ${SECONDS}s"; }

./scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
phase "install"

./scripts/check-format.sh
phase "format check"

./scripts/check-threads.sh
phase "thread check"

# Line tables are all the debug information a failing test needs, and they build faster than full -g.
./scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
phase "build"
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
phase "tests"

if [ "${QV_FUZZ_SECONDS:-30}" != "0" ] && command -v clang++ >/dev/null; then
    ./scripts/fuzz.sh "${QV_FUZZ_SECONDS:-30}"
    phase "fuzzing"
fi

if [ "${QV_SANITIZE:-1}" != "0" ]; then
    # Files are compiled in batches (CMake's unity build), which halves this build; the first build, of one
    # file at a time, is the one that shows each file includes what it uses.
    ./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Asan -DCMAKE_UNITY_BUILD=ON -DQV_BUILD_BENCH=OFF \
        -DQV_BUILD_TOOLS=OFF -DQV_VIEW_TESTS=OFF
    phase "sanitizer build"
    # The memory figures measured against the real machine are left to the first pass: they hold memory and
    # read a large file for a minute under the sanitizers and check no memory handling the others miss.
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)" \
        --exclude-regex '^MemoryEngineMachine\.'
    phase "sanitizer tests"
fi
