#!/usr/bin/env bash
# Configures and builds one build folder: build.sh <folder> [extra cmake arguments] [--target <name>...]
# Every target is built (tests and benchmarks too) unless targets are named after --target.
# QV_JOBS sets how many compilers run at once (default: one per core); ccache is used where installed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"; shift
settings=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = --target ]; then
        shift
        targets+=("$@")
        break
    fi
    settings+=("$1")
    shift
done
launcher=()
if command -v ccache >/dev/null; then
    # Paths relative to the checkout, so that other checkouts of the tree share the cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "${settings[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" --parallel "${QV_JOBS:-$(nproc)}" --target "${targets[@]}"
else
    cmake --build "$dir" --parallel "${QV_JOBS:-$(nproc)}"
fi
