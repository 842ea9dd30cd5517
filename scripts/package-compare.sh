#!/usr/bin/env bash
# Compares two builds of the binary package and says where they differ: with diffoscope where it is
# installed, else by the files of the two unpacked packages that differ. Exits 0 when they are the same
# bytes, 1 when not.
#   scripts/package-compare.sh one.deb other.deb
set -euo pipefail
one="$1"
other="$2"
cmp -s "$one" "$other" && exit 0
echo "package-compare: $one and $other differ" >&2
if command -v diffoscope >/dev/null; then
    diffoscope --text - "$one" "$other" >&2 || true
    exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -R "$one" "$work/one"
dpkg-deb -R "$other" "$work/other"
diff -rq "$work/one" "$work/other" | sed "s|$work/||g" >&2 || true
exit 1
