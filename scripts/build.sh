#!/usr/bin/env bash
# Configures and builds one build folder: build.sh <folder> [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"; shift
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
