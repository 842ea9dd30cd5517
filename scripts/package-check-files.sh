#!/usr/bin/env bash
# Checks two files of the Debian package that lintian does not judge as a user meets them: the desktop
# entry passes desktop-file-validate without a word, and the manual page keeps every path, unit name
# and command name whole at any terminal width (one broken at a hyphen reads as two words). Prints
# each finding; exits 1 when there is one.
#   scripts/package-check-files.sh build/quorvane-pro_<version>_<arch>.deb
set -euo pipefail
deb="$(realpath "$1")"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
faults=0
: >"$tmp/broken"

for entry in "$tmp"/root/usr/share/applications/*.desktop; do
    said="$(desktop-file-validate "$entry" 2>&1 || true)"
    if [ -n "$said" ]; then
        echo "${said//$tmp\/root/}"
        faults=$((faults + 1))
    fi
done

for page in "$tmp"/root/usr/share/man/man1/*.1.gz; do
    # The names in the page as man(1) shows it on a terminal $1 columns wide (MANWIDTH), one a line.
    names() {
        zcat "$page" | nroff -man -Tutf8 -rLL="$1n" -rLT="$1n" 2>/dev/null | col -bx \
            | grep -oE '[~/][^ ,;()]*[^ ,;().]|com\.quorvane\.[a-z.]*[a-z]|quorvane-[a-z-]*[a-z]' | sort
    }
    # On a line as wide as a paragraph nothing is broken: the names found there are the whole ones.
    names 1000 >"$tmp/whole"
    for width in $(seq 40 120); do
        comm -23 "$tmp/whole" <(names "$width") | sort -u >"$tmp/missing"
        while IFS= read -r name; do
            if ! grep -qxF -- "$name" "$tmp/broken"; then
                echo "$(basename "$page"): $name is broken across lines (first at width $width)"
                echo "$name" >>"$tmp/broken"
                faults=$((faults + 1))
            fi
        done <"$tmp/missing"
    done
done
[ "$faults" -eq 0 ]
