#!/usr/bin/env bash
# Configures and builds one build folder: build.sh <folder> [extra cmake arguments]
# QV_JOBS sets how many compilers run at once (default: one per core); ccache is used where installed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"; shift
launcher=()
if command -v ccache >/dev/null; then
    # Paths relative to the checkout, so that other checkouts of the tree share the cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" --parallel "${QV_JOBS:-$(nproc)}"
