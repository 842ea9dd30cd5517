#!/usr/bin/env bash
# Runs scripts/package-check-hardening.sh on small packages of one program built here, with its build
# log: built with every flag it passes; without stack clash protection; with control-flow protection
# turned off behind the link marks that hardening-check reads; with a log that does not say how the
# program was built; and with a log that names flags the program was not built with.
#   PackageCheckHardeningTest.sh <package-check-hardening.sh>
# Prints the check's report of each build it must refuse, one line a failed case, and exits 1 when one
# failed; exits 77 (skipped) without the tools, or off x86-64.
set -uo pipefail
gate="$(realpath "$1")"
for tool in dpkg-deb hardening-check objdump g++; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool here"; exit 77; }
done
[ "$(dpkg --print-architecture)" = amd64 ] || { echo "skipped: the frame check reads x86-64 code"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
# A frame of 20 KB and a fortified copy into it, as the helper's own buffers are.
cat >"$work/program.cpp" <<'EOF'
#include <cstdio>
#include <cstring>
int main(int, char** argv)
{
    char text[20000];
    std::memcpy(text, argv[0], std::strlen(argv[0]) + 1);
    return std::puts(text) < 0;
}
EOF
debian="-g -O2 -fstack-protector-strong -Wformat -Werror=format-security -D_FORTIFY_SOURCE=2 -fPIE"
links="-pie -Wl,-z,relro,-z,now -Wl,-z,ibt,-z,shstk"
# Builds $1.deb from the program compiled with the flags $2, and $1.log with the compile line $3
# (the command itself when $3 is "as built").
package() {
    local tree="$work/$1" line
    mkdir -p "$tree/DEBIAN" "$tree/usr/bin"
    printf 'Package: qv\nVersion: 1.0-1\nArchitecture: amd64\nMaintainer: Test <test@example.invalid>\nDescription: test\n' \
        >"$tree/DEBIAN/control"
    # shellcheck disable=SC2086
    g++ $debian $2 -c "$work/program.cpp" -o "$work/$1.o" && g++ $links "$work/$1.o" -o "$tree/usr/bin/qv" || return 1
    line="/usr/bin/c++ $debian $2 -o $1.o -c $work/program.cpp"
    [ "$3" = "as built" ] || line="$3"
    printf '[1/2] %s\n[2/2] : && /usr/bin/c++ %s %s.o -o qv && :\n' "$line" "$links" "$1" >"$work/$1.log"
    dpkg-deb --root-owner-group -b "$tree" "$work/$1.deb" >/dev/null
}
# The check of build $1 exits $2; a refusal's report is shown.
expect() {
    local output status
    output="$("$gate" "$work/$1.deb" "$work/$1.log" 2>&1)"
    status=$?
    if [ "$status" != 0 ]; then
        echo "== $1, refused:"
        printf '%s\n' "$output" | sed "s|$work|<work>|g"
    fi
    [ "$status" = "$2" ] || { echo "FAIL: $1 exits $status, not $2"; failed=1; }
}

clash=-fstack-clash-protection
package hardened "$clash -fcf-protection" "as built" || { echo "FAIL: cannot build the program"; exit 1; }
package no-stack-clash "-fcf-protection" "as built"
package no-cf-protection "$clash -fcf-protection -fcf-protection=none" "as built"
package quiet-log "$clash -fcf-protection" "[1/1] Building CXX object program.cpp.o"
package log-untrue "-fcf-protection" "/usr/bin/c++ $debian $clash -fcf-protection -o x.o -c $work/program.cpp"
expect hardened 0
expect no-stack-clash 1
expect no-cf-protection 1
expect quiet-log 1
expect log-untrue 1
# What hardening-check alone makes of the build without control-flow protection: passed.
hardening-check --quiet "$work/no-cf-protection/usr/bin/qv" >/dev/null 2>&1 \
    && echo "# hardening-check alone passes the build without control-flow protection"
exit "$failed"
