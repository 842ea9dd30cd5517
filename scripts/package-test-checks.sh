#!/usr/bin/env bash
# Run by package-test.sh inside the booted container, as root: installs /root/quorvane-pro.deb with
# apt and checks the package as a user would. Prints one "ok" or "FAIL" line a check and a closing
# "N passed, N failed" line; exits 1 when a check failed.
#   checks.sh same|different|unchecked
# says what package-test.sh found comparing two builds of the package, counted as one more check.
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
# The program's unit stays loaded after the program ends, so that how it ended can be read.
start_program() {
    as_user "$1" --property=RemainAfterExit=yes /usr/bin/quorvane-pro
    within 10 test "$(main_pid "$1")" != 0
}
# Ended, and not by a crash: exited with status 0 (code 1) or ended by SIGTERM itself (code 2, signal 15);
# a SIGSEGV or SIGABRT (code 2 or 3) fails, as does a program still running.
ended_without_crash() {
    local how
    how="$(systemctl show --property=ExecMainCode --value "$1"):$(systemctl show --property=ExecMainStatus --value "$1")"
    [ "$how" = 1:0 ] || [ "$how" = 2:15 ]
}
helper=com.quorvane.helper
units=/usr/lib/systemd/system
action=/usr/share/polkit-1/actions/$helper.policy
nothing_left() {
    local path
    systemctl -q is-active $helper.socket && return 1
    for path in "$units/$helper.socket" "$units/$helper.service" \
        "/etc/systemd/system/sockets.target.wants/$helper.socket" /run/quorvane \
        "$action" /var/log/quorvane /usr/bin/quorvane-pro \
        /usr/libexec/quorvane /usr/share/doc/quorvane-pro; do
        absent "$path" || { echo "left: $path"; return 1; }
    done
}
listening() { systemctl -q is-active $helper.socket && [ -S /run/quorvane/$helper.sock ]; }
enabled() { systemctl -q is-enabled $helper.socket; }
listening_and_enabled() { listening && enabled; }
helper_idle() { ! systemctl -q is-active $helper.service; }
# $1 says whether the helper was idle before the program started.
helper_started_by_program() { [ "$1" = yes ] && within 15 systemctl -q is-active $helper.service; }
# The helper runs from the installed executable, not from one a reinstall or upgrade replaced.
helper_runs_installed() {
    local pid
    pid="$(main_pid $helper.service)"
    [ "$pid" != 0 ] && [ "$(readlink "/proc/$pid/exe")" = /usr/libexec/quorvane/quorvane-helper ]
}
# The helper runs again, under another process than $1.
helper_started_again() {
    local pid
    pid="$(main_pid $helper.service)"
    [ "$pid" != 0 ] && [ "$pid" != "$1" ] && systemctl -q is-active $helper.service
}
# The same package under the higher version <version>+$1, for an upgrade: /root/quorvane-pro+$1.deb.
make_newer_package() {
    local tree=/root/newer
    rm -rf "$tree"
    dpkg-deb -R /root/quorvane-pro.deb "$tree" || return 1
    sed -i "s/^Version: .*/&+$1/" "$tree/DEBIAN/control"
    quietly dpkg-deb -b "$tree" "/root/quorvane-pro+$1.deb"
}
installed_version() { dpkg-query -W -f='${Version}' quorvane-pro 2>/dev/null; }
upgraded() { [ "$(installed_version)" = "$(dpkg-deb -f "/root/quorvane-pro+$1.deb" Version)" ]; }
# Reinstalled while the helper runs: apt succeeds and the helper is restarted from the new executable.
reinstall_while_helper_runs() {
    local before
    before="$(main_pid $helper.service)"
    [ "$before" != 0 ] || return 1
    apt_get install --reinstall /root/quorvane-pro+3.deb || return 1
    within 10 helper_runs_installed && [ "$(main_pid $helper.service)" != "$before" ]
}
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
# A build installed under /usr/local enables its helper with its setup program, which copies that
# build's units into /etc/systemd/system and its polkit action, naming its own setup program, to the
# path of the package's: the packaged setup program, given that build's folders.
setup_of_other_build() {
    local data=/root/other-build/share/quorvane
    mkdir -p "$data"
    cp "$units/$helper.socket" "$data/"
    sed 's|^ExecStart=.*|ExecStart=/usr/local/libexec/quorvane/quorvane-helper|' "$units/$helper.service" \
        >"$data/$helper.service"
    sed 's|/usr/libexec/|/usr/local/libexec/|' "$action" >"$data/$helper.policy"
    sed -e "s|^data=.*|data=$data|" -e 's|^in_place=.*|in_place=no|' /usr/libexec/quorvane/quorvane-helper-setup \
        >/root/other-build/quorvane-helper-setup
    quietly sh /root/other-build/quorvane-helper-setup install
}
# The setup program (of that build, just run) left the package's polkit action as the package installed
# it, and said so.
packaged_action_kept() {
    local changed
    grep -q "^quorvane-helper-setup: $action belongs to the package quorvane-pro" /root/command.log \
        && [ -f "$action" ] || return 1
    changed="$(dpkg --verify quorvane-pro)"
    [ -z "$changed" ] || { echo "$changed"; return 1; }
}
uninstall_of_other_build() { quietly sh /root/other-build/quorvane-helper-setup uninstall && packaged_action_kept; }
# Edits a unit with `systemctl edit --full`, the sed script $2 standing in for the editor, which
# systemctl runs only on a terminal.
edit_full() {
    SYSTEMD_EDITOR="sed -i $2" quietly script -qec "systemctl edit --full $1" /dev/null
}
# The administrator's copy of unit $1 is in /etc/systemd/system, and systemd runs it: property $2 is $3.
overridden() {
    [ -f "/etc/systemd/system/$1" ] && [ "$(systemctl show --property="$2" --value "$1")" = "$3" ]
}
# Back to the packaged units, enabled and listening, as before the administrator's edits.
packaged_units_again() {
    quietly systemctl revert $helper.socket $helper.service && quietly systemctl reenable $helper.socket \
        && quietly systemctl restart $helper.socket && packaged_units_in_use
}
# systemd-analyze's rating of the helper's service, shown, at most 2.5 (of 10).
exposure_low() {
    local rating tenths
    rating="$(systemd-analyze security $helper.service 2>/dev/null | tail -n 1)"
    echo "# systemd-analyze security: $rating"
    tenths="$(sed -n 's/^.*Overall exposure level for .*: \([0-9]*\)\.\([0-9]\).*$/\1\2/p' <<<"$rating")"
    [ -n "$tenths" ] && [ "$((10#$tenths))" -le 25 ]
}
removed_with_logs() { [ "$(package_state)" = config-files ] && [ -d /var/log/quorvane ]; }
# No unit of the package is left failed (systemd would call the system degraded); those that are are shown.
no_failed_unit() {
    local failed
    failed="$(systemctl list-units --failed --all --plain --no-legend "$helper.*")"
    [ -z "$failed" ] || { echo "$failed"; return 1; }
}
# A helper that ends with entries it could not resume exits 1: in its place, until the stand-in goes,
# runs one that exits 1 on SIGTERM (a runtime drop-in, which the package does not know).
stand_in=/run/systemd/system/$helper.service.d/exits-1-on-stop.conf
failing_helper_stand_in() {
    mkdir -p "${stand_in%/*}" || return 1
    printf '%s\n' '[Service]' 'ExecStart=' \
        "ExecStart=/bin/sh -c 'trap \"exit 1\" TERM; sleep infinity & wait'" >"$stand_in"
    systemctl daemon-reload
}
stand_in_runs() { [ "$(readlink "/proc/$(main_pid $helper.service)/exe")" != /usr/libexec/quorvane/quorvane-helper ]; }

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

if [ "${1:-unchecked}" = unchecked ]; then
    echo "# two builds of the package are compared only when package-test.sh builds it"
else
    check "two builds of the package and of its -dbgsym package give the same bytes" test "$1" = same
fi

apt_get update
check "apt installs the package" apt_get install /root/quorvane-pro.deb
check "the package owns its units and polkit action" \
    quietly dpkg -S "$units/$helper.socket" "$units/$helper.service" "$action"
check "the helper's socket listens" listening
check "the helper's socket is enabled, so it listens after a reboot" enabled
check "the helper itself does not run yet" helper_idle

# An earlier package copied the units into /etc/systemd/system and enabled the copied socket, as after a
# downgrade to it; upgrading from it drops the copies and keeps the socket enabled.
cp "$units/$helper.socket" "$units/$helper.service" /etc/systemd/system/
ln -sf "/etc/systemd/system/$helper.socket" "/etc/systemd/system/sockets.target.wants/$helper.socket"
systemctl daemon-reload
for version in 1 2 3; do
    make_newer_package $version || echo "# cannot make a newer package from /root/quorvane-pro.deb"
done
check "apt upgrades the package over an earlier one's unit copies" apt_get install /root/quorvane-pro+1.deb
check "the upgrade installed the newer version" upgraded 1
check "the upgrade drops the earlier package's unit copies" packaged_units_in_use
check "the upgrade keeps the socket enabled" enabled

setup_of_other_build || echo "# the setup program of a build under another prefix failed"
check "the setup program of a build under another prefix leaves the package's polkit action" packaged_action_kept
check "that build's uninstall leaves the package's polkit action" uninstall_of_other_build
setup_of_other_build || echo "# the setup program of a build under another prefix failed"
check "apt upgrades the package over the setup program's unit copies" apt_get install /root/quorvane-pro+2.deb
check "the upgrade drops the setup program's unit copies" packaged_units_in_use
check "the upgrade keeps the socket enabled after dropping those copies" enabled

# An administrator's own units outlive an upgrade: a full override of the packaged service, and an edit
# of the socket the setup program copied.
setup_of_other_build && quietly systemctl revert $helper.service || echo "# cannot copy the socket as the setup program does"
edit_full $helper.service 's/^UMask=0077$/UMask=0027/' || echo "# systemctl edit --full failed for the service"
edit_full $helper.socket 's/^SocketMode=0666$/SocketMode=0660/' || echo "# systemctl edit --full failed for the socket"
check "apt upgrades the package over an administrator's units" apt_get install /root/quorvane-pro+3.deb
check "the upgrade keeps the administrator's full override of the service" overridden $helper.service UMask 0027
check "the upgrade keeps the administrator's edit of the setup program's socket copy" \
    overridden $helper.socket SocketMode 0660
packaged_units_again || echo "# cannot go back to the packaged units"

as_user qv-freeze /usr/local/bin/qv-freeze-me infinity
freeze="$(main_pid qv-freeze)"
idle_before=no
helper_idle && idle_before=yes
start_program qv-app
check "the helper starts on the program's first connection, not before" helper_started_by_program "$idle_before"
as_user qv-build /usr/local/bin/qv-fake-build 600
check "Compile Mode suspends the freeze-list process while the trigger runs" within 20 stopped "$freeze"
systemctl stop qv-build
check "the process runs again when the trigger ends" within 20 running "$freeze"

as_user qv-build /usr/local/bin/qv-fake-build 600
check "Compile Mode suspends the process again" within 20 stopped "$freeze"
systemctl kill --signal=SIGTERM qv-app
check "the program ends on SIGTERM without a crash" within 20 ended_without_crash qv-app
check "SIGTERM of the program leaves nothing stopped" running "$freeze"

# A program killed outright cannot resume anything: the helper does, when it sees the program gone.
start_program qv-app-killed
check "Compile Mode suspends the process for a program that will be killed" within 20 stopped "$freeze"
systemctl kill --signal=SIGKILL qv-app-killed
check "the helper resumes the process within 2 s of the program's SIGKILL" within 2 running "$freeze"
systemctl stop qv-app-killed 2>/dev/null

# The helper killed first, then the program: systemd starts the helper again, which resumes from its
# list what the program, ended meanwhile, left stopped.
start_program qv-app-killed-too
check "Compile Mode suspends the process before the program and the helper are killed" within 20 stopped "$freeze"
helper_before="$(main_pid $helper.service)"
systemctl kill --signal=SIGKILL $helper.service
systemctl kill --signal=SIGKILL qv-app-killed-too
check "the helper started again after SIGKILL resumes the killed program's process within 5 s" \
    within 5 running "$freeze"
check "systemd started the helper again after its SIGKILL" helper_started_again "$helper_before"
systemctl stop qv-app-killed-too 2>/dev/null

# A helper restarted mid-build resumes what it held; the program's next cycle stops it again.
start_program qv-app-restart
check "Compile Mode suspends the process before the helper restarts" within 20 stopped "$freeze"
systemctl restart $helper.service
check "the program stops the process again after the helper restarted" within 20 stopped "$freeze"
systemctl stop qv-app-restart qv-build 2>/dev/null
check "stopping that program leaves nothing stopped" within 10 running "$freeze"

check "apt reinstalls the package while the helper runs, which restarts from the new executable" \
    reinstall_while_helper_runs
check "the helper's socket listens and is enabled after the reinstall" listening_and_enabled
check "the setup program disables and enables the packaged helper" setup_round_trip
check "systemd-analyze rates the helper's exposure at most 2.5" exposure_low

# Purged while the program runs and a process is suspended.
start_program qv-app2
as_user qv-build /usr/local/bin/qv-fake-build 600
check "Compile Mode suspends the process before the purge" within 20 stopped "$freeze"
check "apt purges the package" apt_get purge quorvane-pro
check "purging resumes the suspended process" within 10 running "$freeze"
check "purging removes units, socket, polkit action, logs and files" nothing_left
check "nothing of the package is left for dpkg" test "$(package_state)" = not-installed
systemctl stop qv-app2 qv-build 2>/dev/null

# Removed while the program runs and a process is suspended, purged later.
check "apt installs the package again after the purge" apt_get install /root/quorvane-pro.deb
start_program qv-app3
as_user qv-build /usr/local/bin/qv-fake-build 600
check "Compile Mode suspends the process before the removal" within 20 stopped "$freeze"
# The helper killed, systemd starts in its place one that fails as it stops; the process stays listed.
failing_helper_stand_in || echo "# cannot put the failing helper in place"
helper_before="$(main_pid $helper.service)"
systemctl kill --signal=SIGKILL $helper.service
within 5 helper_started_again "$helper_before" && stand_in_runs || echo "# the failing helper does not run"
check "apt removes the package" apt_get remove quorvane-pro
check "removing resumes the suspended process" within 10 running "$freeze"
check "removing keeps the package's logs for a later purge" removed_with_logs
check "removing leaves no failed unit, though the helper failed as it stopped" no_failed_unit
rm -f "$stand_in"
systemctl daemon-reload
check "apt purges a removed package" apt_get purge quorvane-pro
check "purging a removed package removes its logs" absent /var/log/quorvane
check "purging a removed package leaves no failed unit" no_failed_unit
systemctl stop qv-app qv-app3 qv-build 2>/dev/null

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
