#!/usr/bin/env bash
# Builds the Debian package build/quorvane-pro_<version>_<arch>.deb (program, helper, power sampler,
# units, polkit action, setup script, desktop entry, icon, manual page) the Debian way, with debian/ and
# dpkg-buildpackage (scripts/package-build.sh, which leaves the source package beside it in build/package),
# and checks the binary and source packages with lintian, which must report nothing, and the binary one
# with scripts/package-check-files.sh (desktop entry and manual page) and with
# scripts/package-check-hardening.sh (hardening-check, and stack clash and control-flow protection as
# the build's log and code show them), which every program and library must pass whole. QV_JOBS sets
# how many compilers run at once, as for build.sh. Install it with
#   sudo apt install ./build/quorvane-pro_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --packaging
built="$(./scripts/package-build.sh build/package)"
deb="build/$(basename "$built")"
cp -f "$built" "$deb"
lintian --allow-root --fail-on error,warning "$deb" build/package/*.dsc
# Lintian's hardening tags are only informational, so they are asked for by name.
lintian --allow-root --display-info --fail-on info \
    --tags hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-relro,hardening-no-pie "$deb"
./scripts/package-check-files.sh "$deb"
./scripts/package-check-hardening.sh "$deb" build/package/build.log
echo "$deb"
