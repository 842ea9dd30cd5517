#!/usr/bin/env bash
# Builds the snapshot program and renders every view in the five themes into build/snapshots/ (offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
QV_JOBS="${QV_JOBS:-3}" ./scripts/build.sh build -DQV_BUILD_TESTS=ON
rm -rf build/snapshots
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" ./build/tools/qv-snapshots build/snapshots
