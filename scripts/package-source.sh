#!/usr/bin/env bash
# Lays out the source of the Debian package from this checkout's tracked files, as they are in the
# working tree, in the folder given (made anew): the tree <name>-<upstream> with debian/, and the
# upstream tarball <name>_<upstream>.orig.tar.xz of that tree without debian/.
#   scripts/package-source.sh build/package
# Files git does not track stay out, even where git does not ignore them. Every file and folder gets
# fixed attributes, whatever the checkout's umask or owner made of them: mode 0755 for folders and
# for files executable in the checkout, 0644 for the other files, owner and group 0, the changelog's
# date (SOURCE_DATE_EPOCH), and the tarball lists them by name. So two checkouts of the same files
# give the same tarball bytes, wherever they are and whoever made them.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "$1")"
name="$(dpkg-parsechangelog -S Source)"
upstream="$(dpkg-parsechangelog -S Version)"
upstream="${upstream%-*}"
epoch="$(dpkg-parsechangelog -S Timestamp)"
tree="$out/$name-$upstream"

rm -rf "$out"
mkdir -p "$tree"
files=()
while IFS= read -r -d '' file; do
    # A tracked file deleted in the working tree is left out, as it would be from a commit.
    if [ -e "$file" ] || [ -L "$file" ]; then files+=("$file"); fi
done < <(git ls-files -z --cached)
printf '%s\0' "${files[@]}" | tar -c --null --no-recursion -T - | tar -x -C "$tree"
# Symbolic links keep their own mode (chmod does not follow them here); setgid folders lose the bit.
chmod -R u=rwX,go=rX,-s "$tree"
find "$tree" -exec touch -h -d "@$epoch" {} +
(cd "$out" && tar -c --sort=name --owner=0 --group=0 --numeric-owner --exclude="$name-$upstream/debian" \
    --pax-option=exthdr.name=%d/PaxHeaders/%f,delete=atime,delete=ctime "$name-$upstream" \
    | xz -6 -T1 >"${name}_$upstream.orig.tar.xz")
