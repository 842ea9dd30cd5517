#!/usr/bin/env bash
# Compares two builds of the binary package, and of the -dbgsym package that each build leaves beside
# it, and says where they differ: with diffoscope where it is installed, else by the files of the two
# unpacked packages that differ. Exits 0 when both pairs are the same bytes, 1 when not (or when a
# -dbgsym package is missing).
#   scripts/package-compare.sh build/package/one.deb build/package-elsewhere/other.deb
set -euo pipefail

# The -dbgsym package beside the package $1: <name>-dbgsym_<version>_<arch>.deb.
dbgsym_of() {
    local file="${1##*/}"
    echo "$(dirname "$1")/${file%%_*}-dbgsym_${file#*_}"
}

same() {
    local one="$1" other="$2" work
    cmp -s "$one" "$other" && return 0
    echo "package-compare: $one and $other differ" >&2
    if command -v diffoscope >/dev/null; then
        diffoscope --text - "$one" "$other" >&2 || true
        return 1
    fi
    work="$(mktemp -d)"
    dpkg-deb -R "$one" "$work/one"
    dpkg-deb -R "$other" "$work/other"
    diff -rq "$work/one" "$work/other" | sed "s|$work/||g" >&2 || true
    rm -rf "$work"
    return 1
}

status=0
same "$1" "$2" || status=1
for package in "$1" "$2"; do
    if [ ! -f "$(dbgsym_of "$package")" ]; then
        echo "package-compare: no $(dbgsym_of "$package") beside $package" >&2
        exit 1
    fi
done
same "$(dbgsym_of "$1")" "$(dbgsym_of "$2")" || status=1
exit "$status"
