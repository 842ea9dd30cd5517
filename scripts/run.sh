#!/usr/bin/env bash
# Installs what is missing, builds Quorvane Pro and starts it. Only the program and the libraries it
# links are built: a copy run from the build folder uses no helper or power sampler of its own (those
# act only for the installed program), and the tests and benchmarks are scripts/test.sh's.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo --target quorvane-pro
exec ./build/app/quorvane-pro "$@"
