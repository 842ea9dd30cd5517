#!/usr/bin/env bash
# Lays out the package's source (scripts/package-source.sh) from two clones of a small repository, one
# made and laid out under umask 022 and one under umask 077 with a file git neither tracks nor ignores,
# and checks that both give the same upstream tarball, that it holds the tracked files alone with fixed
# modes and owners, and that the tree built from has the same modes.
#   PackageSourceTest.sh <package-source.sh> <debian/changelog>
# Prints one line a failed check and exits 1 when one failed; exits 77 (skipped) without git or dpkg-dev.
set -uo pipefail
script="$(realpath "$1")"
changelog="$(realpath "$2")"
for tool in git dpkg-parsechangelog xz; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool here"; exit 77; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
git_quiet() { git -c init.defaultBranch=main -c user.name=Test -c user.email=test@example.invalid "$@" >/dev/null; }

origin="$work/origin"
mkdir -p "$origin/scripts" "$origin/debian" "$origin/bin" "$origin/doc"
cp "$script" "$origin/scripts/package-source.sh"
cp "$changelog" "$origin/debian/changelog"
printf '#!/bin/sh\n' >"$origin/bin/run"
printf 'text\n' >"$origin/doc/readme"
chmod 0755 "$origin/bin/run" "$origin/scripts/package-source.sh"
chmod 0644 "$origin/doc/readme" "$origin/debian/changelog"
ln -s doc/readme "$origin/link"
git_quiet -C "$origin" init && git_quiet -C "$origin" add -A && git_quiet -C "$origin" commit -m files \
    || { echo "FAIL: cannot make the repository"; exit 1; }

(umask 022 && git_quiet clone -q "$origin" "$work/open" && bash "$work/open/scripts/package-source.sh" "$work/out-open")
(umask 077 && git_quiet clone -q "$origin" "$work/closed" && printf 'stray\n' >"$work/closed/doc/untracked" \
    && bash "$work/closed/scripts/package-source.sh" "$work/out-closed")

name="$(dpkg-parsechangelog -l "$changelog" -S Source)"
version="$(dpkg-parsechangelog -l "$changelog" -S Version)"
tarball="${name}_${version%-*}.orig.tar.xz"
tree="$name-${version%-*}"
[ -f "$work/out-open/$tarball" ] && [ -f "$work/out-closed/$tarball" ] || { echo "FAIL: no tarball made"; exit 1; }
cmp -s "$work/out-open/$tarball" "$work/out-closed/$tarball" \
    || fail "the clones under umask 022 and 077 give different tarballs"

# Mode, owner and name of each member, in the tarball's order.
listing="$(tar --numeric-owner -tvJf "$work/out-closed/$tarball" | awk '{ print $1, $2, $6 }')"
expected="drwxr-xr-x 0/0 $tree/
drwxr-xr-x 0/0 $tree/bin/
-rwxr-xr-x 0/0 $tree/bin/run
drwxr-xr-x 0/0 $tree/doc/
-rw-r--r-- 0/0 $tree/doc/readme
lrwxrwxrwx 0/0 $tree/link
drwxr-xr-x 0/0 $tree/scripts/
-rwxr-xr-x 0/0 $tree/scripts/package-source.sh"
[ "$listing" = "$expected" ] || fail "the tarball holds, under umask 077:
$listing
instead of:
$expected"

# The tree the packages are built from, debian/ with it, has the tarball's modes.
modes="$(cd "$work/out-closed/$tree" && stat -c '%a %n' . bin bin/run debian debian/changelog doc/readme)"
[ "$modes" = "755 .
755 bin
755 bin/run
755 debian
644 debian/changelog
644 doc/readme" ] || fail "the tree laid out under umask 077 has the modes:
$modes"
[ ! -e "$work/out-closed/$tree/doc/untracked" ] || fail "the untracked file is in the tree"

exit "$failed"
