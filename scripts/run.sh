#!/usr/bin/env bash
# Installs what is missing, builds Quorvane Pro and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec ./build/app/quorvane-pro "$@"
