#!/usr/bin/env bash
# Runs scripts/package-compare.sh on two builds made of small packages: the same bytes, a -dbgsym
# package that differs while the packages match, and a build without its -dbgsym package.
#   PackageCompareTest.sh <package-compare.sh>
# Prints one line a failed check and exits 1 when one failed; exits 77 (skipped) without dpkg-deb.
set -uo pipefail
compare="$(realpath "$1")"
command -v dpkg-deb >/dev/null || { echo "skipped: no dpkg-deb here"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
# Builds $1/$2_1.0-1_amd64.deb holding one file with the text $3.
package() {
    local tree="$work/tree"
    rm -rf "$tree"
    mkdir -p "$tree/DEBIAN" "$tree/usr/share/$2" "$1"
    printf 'Package: %s\nVersion: 1.0-1\nArchitecture: amd64\nMaintainer: Test <test@example.invalid>\nDescription: test\n' \
        "$2" >"$tree/DEBIAN/control"
    printf '%s\n' "$3" >"$tree/usr/share/$2/file"
    SOURCE_DATE_EPOCH=0 dpkg-deb --root-owner-group -Zxz -b "$tree" "$1/$2_1.0-1_amd64.deb" >/dev/null
}
# The comparison of build $1 with build $2 exits $3.
expect() {
    local status
    "$compare" "$work/$1/qv_1.0-1_amd64.deb" "$work/$2/qv_1.0-1_amd64.deb" >/dev/null 2>&1
    status=$?
    [ "$status" = "$3" ] || { echo "FAIL: $1 against $2 exits $status, not $3"; failed=1; }
}

package "$work/one" qv same && package "$work/one" qv-dbgsym symbols
package "$work/two" qv same && package "$work/two" qv-dbgsym symbols
package "$work/other-symbols" qv same && package "$work/other-symbols" qv-dbgsym "other symbols"
package "$work/no-symbols" qv same
expect one two 0
expect one other-symbols 1
expect one no-symbols 1
exit "$failed"
