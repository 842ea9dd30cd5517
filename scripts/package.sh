#!/usr/bin/env bash
# Builds the Debian package build/quorvane-pro_<version>_<arch>.deb (program, helper, power sampler,
# units, polkit action, setup script, desktop entry, icon, manual page) with Debian's hardening flags,
# and checks it with lintian, which must report nothing, and with scripts/package-check-files.sh (desktop
# entry and manual page). QV_JOBS sets how many compilers run at once, as for build.sh. Install it with
#   sudo apt install ./build/quorvane-pro_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --packaging
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cxxflags="$(flags CPPFLAGS) $(flags CXXFLAGS)"
ldflags="$(flags LDFLAGS)"
./scripts/build.sh build/package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$ldflags"
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls -t build/package/quorvane-pro_*.deb | head -n 1)
mv -f "$deb" build/
deb="build/$(basename "$deb")"
lintian --allow-root --fail-on error,warning "$deb"
# Lintian's hardening tags are only informational, so they are asked for by name.
lintian --allow-root --display-info --fail-on info \
    --tags hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-relro,hardening-no-pie "$deb"
./scripts/package-check-files.sh "$deb"
echo "$deb"
