#!/usr/bin/env bash
# Checks every program and library of the Debian package for hardening, each whole:
#  - hardening-check: position-independent code, read-only relocations, immediate binding, fortified
#    functions and the stack protector;
#  - stack clash and control-flow protection, which hardening-check cannot judge (it calls stack
#    clash "unknown" unless it meets a variable-length array, and reads control-flow protection from
#    the marks that the link sets in any case), from what the build did: every compile line of its log
#    has -fstack-clash-protection and, on x86, -fcf-protection in force, and no stack frame of more
#    than a page is made without the probes that stack clash protection puts in (x86).
# Prints what fails and a line of what it counted; exits 1 when anything fails.
#   scripts/package-check-hardening.sh build/quorvane-pro_<version>_<arch>.deb build/package/build.log
set -euo pipefail
deb="$(realpath "$1")"
log="${2:?the build log of the package is needed: package-check-hardening.sh <deb> <build.log>}"
[ -f "$log" ] || { echo "package-check-hardening: no build log at $log"; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
arch="$(dpkg-deb -f "$deb" Architecture)"
elves=()
while IFS= read -r -d '' file; do
    [ "$(od -An -tx1 -N4 "$file" | tr -d ' \n')" = 7f454c46 ] && elves+=("$file")
done < <(find "$tmp/root" -type f -print0 | sort -z)
[ "${#elves[@]}" -gt 0 ] || { echo "package-check-hardening: no program in $deb"; exit 1; }
failed=0

if ! report="$(hardening-check --quiet "${elves[@]}" 2>&1)"; then
    echo "${report//$tmp\/root/}"
    failed=1
fi

# The compile lines (ninja -v shows each command whole); the last of a flag's spellings is the one in force.
cet=no
case "$arch" in amd64 | i386) cet=yes ;; esac
compiles="$(grep -E '(^|[ /])(c\+\+|g\+\+|gcc|cc|clang\+\+|clang)(-[0-9]+)? .* -c ' "$log" || true)"
lacking="$(awk -v cet="$cet" '
    {
        clash = ""; cf = ""
        for (i = 1; i <= NF; i++) {
            if ($i == "-fstack-clash-protection" || $i == "-fno-stack-clash-protection") clash = $i
            if ($i ~ /^-f(no-)?cf-protection(=|$)/) cf = $i
        }
        if (clash != "-fstack-clash-protection" || (cet == "yes" && cf != "-fcf-protection" && cf != "-fcf-protection=full"))
            print
    }' <<<"$compiles")"
count="$(grep -c . <<<"$compiles" || true)"
if [ "$count" -eq 0 ]; then
    echo "package-check-hardening: $log shows no compile line, so what the build did cannot be told"
    failed=1
elif [ -n "$lacking" ]; then
    echo "package-check-hardening: $(grep -c . <<<"$lacking") of $count compile lines lack stack clash or control-flow protection, such as:"
    head -n 3 <<<"$lacking" | cut -c 1-400
    failed=1
fi

# A frame of more than a page made at once could jump over the guard page below the stack: with stack
# clash protection the compiler makes it a page at a time, probing each.
probes=0
if [ "$arch" = amd64 ] || [ "$arch" = i386 ]; then
    for elf in "${elves[@]}"; do
        code="$(objdump -d --no-show-raw-insn "$elf")"
        unprobed="$(grep -E '^ *[0-9a-f]+:[[:space:]]+sub[lq]?[[:space:]]+\$0x[0-9a-f]+,%[re]sp$' <<<"$code" \
            | while read -r line; do
                size="${line##*\$0x}"
                [ $((16#${size%%,*})) -le 4096 ] || echo "$line"
            done || true)"
        probes=$((probes + $(grep -cE 'or[lq]?[[:space:]]+\$0x0,\(%[re]sp\)' <<<"$code" || true)))
        if [ -n "$unprobed" ]; then
            echo "package-check-hardening: ${elf#"$tmp/root"} makes $(grep -c . <<<"$unprobed") stack frames of more than a page without probing them, such as:"
            head -n 3 <<<"$unprobed"
            failed=1
        fi
    done
fi

echo "package-check-hardening: ${#elves[@]} programs and libraries, $count compile lines, $probes stack probes"
exit "$failed"
