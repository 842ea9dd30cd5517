#!/usr/bin/env bash
# Builds the Debian package build/quorvane-pro_<version>_<arch>.deb (program, helper, power sampler,
# units, polkit action, setup script, desktop entry and icon). Install it with
#   sudo apt install ./build/quorvane-pro_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh build/package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls -t build/package/quorvane-pro_*.deb | head -n 1)
mv -f "$deb" build/
echo "build/$(basename "$deb")"
