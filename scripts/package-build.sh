#!/usr/bin/env bash
# Builds the Debian source and binary packages (debian/, dpkg-buildpackage) from this checkout's tracked
# files in the folder given, and prints the binary package's path:
#   scripts/package-build.sh build/package
# The folder is made anew, with the source tree and the upstream tarball that scripts/package-source.sh
# lays out there: every file with fixed modes and owners and the changelog's date, as the package's files
# have (SOURCE_DATE_EPOCH), so two builds of the same files give the same bytes, in whatever folders and
# checkouts they are made. QV_JOBS sets how many compilers run at once; ccache is used where installed.
# The build's output goes to build.log in the folder and is shown when the build fails.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "$1")"
name="$(dpkg-parsechangelog -S Source)"
version="$(dpkg-parsechangelog -S Version)"
upstream="${version%-*}"
SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -S Timestamp)"
export SOURCE_DATE_EPOCH
tree="$out/$name-$upstream"
./scripts/package-source.sh "$out"

export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=${QV_JOBS:-$(nproc)}"
# ccache without a base folder: one would hand the compiler relative source paths, which the debug
# information and so every build-id keep, where a build without ccache records the tree's paths as
# dpkg-buildflags maps them ("./helper/src/..."). Builds in the same folder share the cache, which is
# named here: debhelper gives the build a HOME of its own inside the tree, where ccache would
# otherwise keep a cache that the next build removes.
if command -v ccache >/dev/null; then
    CCACHE_DIR="$(ccache --get-config cache_dir)"
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR= CCACHE_DIR
fi
log="$out/build.log"
if ! (cd "$tree" && dpkg-buildpackage -S -us -uc && dpkg-buildpackage -b -us -uc) >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "package-build: the build failed, see $log" >&2
    exit 1
fi
echo "$out/${name}_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
