#!/usr/bin/env bash
# Checks every program and library of the Debian package with hardening-check, which also judges
# what lintian does not (stack clash protection, control-flow protection): each must pass whole.
# Prints hardening-check's report of those that do not; exits 1 when one does not.
#   scripts/package-check-hardening.sh build/quorvane-pro_<version>_<arch>.deb
set -euo pipefail
deb="$(realpath "$1")"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
elves=()
while IFS= read -r -d '' file; do
    [ "$(od -An -tx1 -N4 "$file" | tr -d ' \n')" = 7f454c46 ] && elves+=("$file")
done < <(find "$tmp/root" -type f -print0 | sort -z)
[ "${#elves[@]}" -gt 0 ] || { echo "package-check-hardening: no program in $deb"; exit 1; }
report="$(hardening-check --quiet "${elves[@]}" 2>&1)" && exit 0
echo "${report//$tmp\/root/}"
exit 1
