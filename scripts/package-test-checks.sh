#!/usr/bin/env bash
# Run by package-test.sh inside the booted container, as root: installs /root/quorvane-pro.deb with
# apt and checks the package as a user would. Prints one "ok" or "FAIL" line a check and a closing
# "N passed, N failed" line; exits 1 when a check failed.
set -uo pipefail
export DEBIAN_FRONTEND=noninteractive

passed=0
failed=0
check() {
    local what="$1"
    shift
    if "$@"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAIL: $what"
        failed=$((failed + 1))
    fi
}
# Waits up to $1 seconds for the command to succeed.
within() {
    local seconds="$1"
    shift
    for _ in $(seq $((seconds * 2))); do
        "$@" && return 0
        sleep 0.5
    done
    "$@"
}
# Runs a command with its output kept in /root/command.log, shown only when it fails.
quietly() {
    "$@" >/root/command.log 2>&1 && return 0
    local status=$?
    tail -n 20 /root/command.log
    return "$status"
}
apt_get() { quietly apt-get -y -q --no-install-recommends "$@"; }
state_of() { sed -n 's/^[0-9]* ([^)]*) \(.\).*/\1/p' "/proc/$1/stat" 2>/dev/null; }
stopped() { [ "$(state_of "$1")" = T ]; }
running() { [ -n "$(state_of "$1")" ] && ! stopped "$1"; }
absent() { [ ! -e "$1" ] && [ ! -L "$1" ]; }
main_pid() { systemctl show --property=MainPID --value "$1"; }
package_state() { dpkg-query -W -f='${db:Status-Status}' quorvane-pro 2>/dev/null || echo not-installed; }
as_user() {
    local unit="$1"
    shift
    systemd-run --quiet --uid=tester --unit="$unit" --setenv=QT_QPA_PLATFORM=offscreen "$@"
}
start_program() {
    as_user "$1" /usr/bin/quorvane-pro
    within 10 test "$(main_pid "$1")" != 0
}
helper=com.quorvane.helper
units=/usr/lib/systemd/system
nothing_left() {
    local path
    systemctl -q is-active $helper.socket && return 1
    for path in "$units/$helper.socket" "$units/$helper.service" \
        "/etc/systemd/system/sockets.target.wants/$helper.socket" /run/quorvane \
        "/usr/share/polkit-1/actions/$helper.policy" /var/log/quorvane /usr/bin/quorvane-pro \
        /usr/libexec/quorvane /usr/share/doc/quorvane-pro; do
        absent "$path" || { echo "left: $path"; return 1; }
    done
}
listening() { systemctl -q is-active $helper.socket && [ -S /run/quorvane/$helper.sock ]; }
packaged_units_in_use() {
    absent "/etc/systemd/system/$helper.socket" && absent "/etc/systemd/system/$helper.service" \
        && [ "$(realpath "$(systemctl show --property=FragmentPath --value $helper.socket)")" = "$units/$helper.socket" ] \
        && listening
}
# The program's "Uninstall Helper" and "Install Helper" run the setup program: for the packaged units
# it only disables and enables them.
setup_round_trip() {
    local setup=/usr/libexec/quorvane/quorvane-helper-setup
    quietly "$setup" uninstall || return 1
    if systemctl -q is-enabled $helper.socket || systemctl -q is-active $helper.socket \
        || [ ! -f "$units/$helper.socket" ]; then
        return 1
    fi
    quietly "$setup" install && systemctl -q is-enabled $helper.socket && listening
}
ended() { ! systemctl -q is-active "$1"; }
removed_with_logs() { [ "$(package_state)" = config-files ] && [ -d /var/log/quorvane ]; }

# A user whose settings turn autonomous mode on, with one compile trigger and one process to freeze,
# both copies of sleep under names no other rule knows.
useradd --create-home tester
install -d -o tester -g tester "/home/tester/.config/Quorvane"
config='{"workspacePersona":"Software Engineer","flavorPersona":"Bear","autonomousModeEnabled":true,'
config+='"aggressivenessLevel":0.5,"compileModeTriggers":["qv-fake-build"],"customFreezeList":["qv-freeze-me"],'
config+='"headroomWarningThresholdGB":8.0,"ramPressureThresholdPercent":80.0,"autoUnloadOllamaEnabled":false,'
config+='"ollamaIdleTimeoutMinutes":0,"neverPauseWhitelist":[]}'
printf '[General]\ncom.quorvane.personaconfig="%s"\n' "${config//\"/\\\"}" \
    >"/home/tester/.config/Quorvane/Quorvane Pro.conf"
chown tester:tester "/home/tester/.config/Quorvane/Quorvane Pro.conf"
cp /usr/bin/sleep /usr/local/bin/qv-fake-build
cp /usr/bin/sleep /usr/local/bin/qv-freeze-me

apt_get update
check "apt installs the package" apt_get install /root/quorvane-pro.deb
check "the package owns its units and polkit action" \
    quietly dpkg -S "$units/$helper.socket" "$units/$helper.service" /usr/share/polkit-1/actions/$helper.policy
check "the helper's socket listens" listening

# An earlier package copied the units into /etc/systemd/system; installing this one over it drops them.
cp "$units/$helper.socket" "$units/$helper.service" /etc/systemd/system/
ln -sf "/etc/systemd/system/$helper.socket" "/etc/systemd/system/sockets.target.wants/$helper.socket"
systemctl daemon-reload
apt_get install --reinstall /root/quorvane-pro.deb
check "installing over an earlier package drops its unit copies" packaged_units_in_use

as_user qv-freeze /usr/local/bin/qv-freeze-me infinity
start_program qv-app
freeze="$(main_pid qv-freeze)"
check "the helper starts on the program's first connection" within 15 systemctl -q is-active $helper.service
as_user qv-build /usr/local/bin/qv-fake-build 600
check "Compile Mode suspends the freeze-list process while the trigger runs" within 20 stopped "$freeze"
systemctl stop qv-build
check "the process runs again when the trigger ends" within 20 running "$freeze"

as_user qv-build /usr/local/bin/qv-fake-build 600
within 20 stopped "$freeze"
systemctl kill --signal=SIGTERM qv-app
check "the program ends on SIGTERM" within 20 ended qv-app
check "SIGTERM of the program leaves nothing stopped" running "$freeze"
systemctl stop qv-build
check "the setup program disables and enables the packaged helper" setup_round_trip
echo "# systemd-analyze security: $(systemd-analyze security $helper.service 2>/dev/null | tail -n 1)"

# Purged while the program runs and a process is suspended.
start_program qv-app2
as_user qv-build /usr/local/bin/qv-fake-build 600
within 20 stopped "$freeze"
check "apt purges the package" apt_get purge quorvane-pro
check "purging resumes the suspended process" within 10 running "$freeze"
check "purging removes units, socket, polkit action, logs and files" nothing_left
check "nothing of the package is left for dpkg" test "$(package_state)" = not-installed
systemctl stop qv-app2 qv-build 2>/dev/null

# Removed first, purged later.
apt_get install /root/quorvane-pro.deb
systemctl start $helper.service
apt_get remove quorvane-pro
check "removing keeps the package's logs for a later purge" removed_with_logs
check "apt purges a removed package" apt_get purge quorvane-pro
check "purging a removed package removes its logs" absent /var/log/quorvane

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
