#!/usr/bin/env bash
# Runs the helper's setup program, as a build under another prefix has it, in a mount namespace of its
# own: /etc/systemd/system and /usr/share/polkit-1/actions are empty folders there, and systemctl and
# dpkg-query are stand-ins on PATH (dpkg-query names a package for the paths in $work/packaged).
#   HelperSetupTest.sh <quorvane-helper-setup.in>
# Prints one line a failed check and exits 1 when one failed; exits 77 (skipped) where no mount
# namespace can be made.
set -uo pipefail
template="$(realpath "$1")"
units=/etc/systemd/system
actions=/usr/share/polkit-1/actions

if [ "${QV_IN_NAMESPACE:-}" != yes ]; then
    if [ ! -d "$units" ] || [ ! -d "$actions" ]; then
        echo "skipped: this machine has no $units or $actions"
        exit 77
    fi
    if [ "$(id -u)" -eq 0 ]; then
        namespace=(unshare --mount)
    else
        namespace=(unshare --user --map-root-user --mount)
    fi
    "${namespace[@]}" true 2>/dev/null || { echo "skipped: no mount namespace here"; exit 77; }
    exec env QV_IN_NAMESPACE=yes "${namespace[@]}" bash "$0" "$template"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mount --make-rprivate / 2>/dev/null
mkdir -p "$work/units" "$work/actions" "$work/bin" "$work/data"
mount --bind "$work/units" "$units" && mount --bind "$work/actions" "$actions" || exit 77

policy=com.quorvane.helper.policy
cat >"$work/bin/systemctl" <<'EOF'
#!/bin/sh
echo "systemctl $*" >>"${0%/bin/systemctl}/systemctl.log"
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
[ "$1" = -S ] && grep -qxF "$2" "${0%/bin/dpkg-query}/packaged" || exit 1
echo "quorvane-pro: $2"
EOF
chmod +x "$work/bin/systemctl" "$work/bin/dpkg-query"
touch "$work/packaged"
echo '[Socket]' >"$work/data/com.quorvane.helper.socket"
echo '[Service]' >"$work/data/com.quorvane.helper.service"
echo '<policyconfig>build</policyconfig>' >"$work/data/$policy"
sed -e "s|@QV_DATA_PATH@|$work/data|" -e 's|@QV_UNITS_IN_PLACE@|no|' "$template" >"$work/setup"

failed=0
expect() {
    local what="$1"
    shift
    "$@" || { echo "FAIL: $what"; failed=$((failed + 1)); }
}
setup() { PATH="$work/bin:$PATH" sh "$work/setup" "$1" >"$work/output" 2>&1; }
said() { grep -qF "$1" "$work/output"; }

# No package holds the files: they are copied, the units under the checksum line, and removed again.
expect "install succeeds" setup install
expect "install copies the polkit action" cmp -s "$work/data/$policy" "$actions/$policy"
expect "install copies the socket under its checksum line" \
    grep -qx "# Copied by quorvane-helper-setup, sha256 [0-9a-f]\{64\}" "$units/com.quorvane.helper.socket"
expect "install enables the socket" grep -qx "systemctl enable --now com.quorvane.helper.socket" "$work/systemctl.log"
expect "uninstall succeeds" setup uninstall
expect "uninstall removes the polkit action" test ! -e "$actions/$policy"
expect "uninstall removes the unit copies" test -z "$(ls -A "$units")"

# The Debian package holds the polkit action at the same path: it stays as the package put it.
echo '<policyconfig>package</policyconfig>' >"$actions/$policy"
echo "$actions/$policy" >"$work/packaged"
expect "install succeeds beside the package's polkit action" setup install
expect "install leaves the package's polkit action" grep -qx '<policyconfig>package</policyconfig>' "$actions/$policy"
expect "install names the package that holds the action" said "$actions/$policy belongs to the package quorvane-pro"
expect "install still copies the units" test -f "$units/com.quorvane.helper.service"
expect "uninstall succeeds beside the package's polkit action" setup uninstall
expect "uninstall leaves the package's polkit action" grep -qx '<policyconfig>package</policyconfig>' "$actions/$policy"
expect "uninstall names the package that holds the action" said "$actions/$policy belongs to the package quorvane-pro"
expect "uninstall still removes the unit copies" test -z "$(ls -A "$units")"

[ "$failed" -eq 0 ]
