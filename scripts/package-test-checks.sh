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
# "enabled" itself: is-enabled also exits 0 for a unit that cannot be enabled ("static") and for others.
enabled() { [ "$(systemctl is-enabled $helper.socket 2>/dev/null)" = enabled ]; }
listening_and_enabled() { listening && enabled; }
# The service is there, and not running: a unit that does not exist is not idle.
helper_idle() {
    [ "$(systemctl show --property=LoadState --value $helper.service)" = loaded ] \
        && [ "$(systemctl show --property=ActiveState --value $helper.service)" = inactive ]
}
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
    quietly "$setup" install && enabled && listening
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
# That build's setup program ran again, and systemd now runs the copies it made.
setup_copies_in_place() {
    setup_of_other_build && [ -f "/etc/systemd/system/$helper.socket" ] && [ -f "/etc/systemd/system/$helper.service" ] \
        && [ "$(systemctl show --property=FragmentPath --value $helper.socket)" = "/etc/systemd/system/$helper.socket" ]
}
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
stand_in_runs() {
    local pid
    pid="$(main_pid $helper.service)"
    [ "$pid" != 0 ] && [ "$(readlink "/proc/$pid/exe")" = "$(readlink -f /bin/sh)" ]
}
# The helper killed, systemd starts the stand-in in its place.
failing_helper_in_place() {
    local before
    failing_helper_stand_in || return 1
    before="$(main_pid $helper.service)"
    [ "$before" != 0 ] || return 1
    systemctl kill --signal=SIGKILL $helper.service
    within 5 helper_started_again "$before" && stand_in_runs
}
# The same, started by hand where no helper runs.
failing_helper_started() {
    failing_helper_stand_in && systemctl start $helper.service && within 5 stand_in_runs
}
no_stand_in() {
    rm -f "$stand_in"
    systemctl daemon-reload
}

# The helper's audit log from line $1 on: the lines written since it had $1 - 1.
audit=/var/log/quorvane/audit.log
audit_lines() { wc -l <"$audit" 2>/dev/null || echo 0; }
audit_since() { tail -n +"$1" "$audit" 2>/dev/null; }
# Whether, in the audit lines from $1 on, the program $3 sent SIGCONT to $2 and it went through.
resumed_by() {
    audit_since "$1" | grep -F "\"targetPID\":$2," | grep -F '"action":"send_sigcont"' \
        | grep -F "\"callerExecutable\":\"$3\"" | grep -qF '"success":true'
}
# The program itself resumed $2 after audit line $1, and the helper did not have to.
program_resumed() {
    resumed_by "$1" "$2" /usr/bin/quorvane-pro && ! resumed_by "$1" "$2" /usr/libexec/quorvane/quorvane-helper
}

# The Qt ABI the package depends on is the one the container's Qt library provides, as it was for the build.
depends_on_qt_abi() {
    local provided
    provided="$(dpkg-query -W -f='${Provides}\n' libqt6core6 | grep -o 'qt6-base-abi (= [^)]*)')"
    echo "# the container's Qt provides ${provided:-no qt6-base-abi}"
    [ -n "$provided" ] && dpkg-deb -f /root/quorvane-pro.deb Depends | grep -qF "$provided"
}

# The unit's sandbox around a probe in the helper's place (a runtime drop-in): it reads 16 bytes of
# a root process's stack and writes them back, through process_vm_readv and process_vm_writev and
# through /proc/<pid>/mem, and says what each managed. The same probe run outside the sandbox must
# manage both, so that the check cannot pass because the probe itself does nothing.
probe_dir=/usr/local/lib/quorvane-test
memory_probe() {
    mkdir -p "$probe_dir"
    cat >"$probe_dir/memory-probe.pl" <<'PROBE'
use strict;
use warnings;
no warnings 'portable';
my ($pid, $out) = @ARGV;
open(my $report, '>', $out) or die "$out: $!";
open(my $maps, '<', "/proc/$pid/maps") or die "maps: $!";
my $address;
while (<$maps>) { if (/^([0-9a-f]+)-[0-9a-f]+ rw.p .*\[stack\]/) { $address = hex($1); last; } }
defined $address or die 'no stack';
my $data = "\0" x 16;
my $local = pack('QQ', unpack('Q', pack('p', $data)), 16);
my $remote = pack('QQ', $address, 16);
my $read = syscall(310, $pid + 0, $local, 1, $remote, 1, 0);
my $written = syscall(311, $pid + 0, $local, 1, $remote, 1, 0);
print $report "process_vm read $read written $written\n";
my ($memRead, $memWritten) = (-1, -1);
if (open(my $mem, '<:raw', "/proc/$pid/mem")) { sysseek($mem, $address, 0); $memRead = sysread($mem, $data, 16) // -1; }
if (open(my $mem, '+<:raw', "/proc/$pid/mem")) { sysseek($mem, $address, 0); $memWritten = syswrite($mem, $data, 16) // -1; }
print $report "mem read $memRead written $memWritten\n";
PROBE
}
memory_writes_blocked() {
    local victim result
    memory_probe
    systemd-run --quiet --unit=qv-victim /usr/local/bin/qv-victim infinity || return 1
    within 5 test "$(main_pid qv-victim)" != 0 || return 1
    victim="$(main_pid qv-victim)"
    perl "$probe_dir/memory-probe.pl" "$victim" /root/probe-outside.txt
    echo "# outside the sandbox: $(tr '\n' ' ' </root/probe-outside.txt)"
    mkdir -p "${stand_in%/*}"
    printf '%s\n' '[Service]' 'ExecStart=' "ExecStart=/usr/bin/perl $probe_dir/memory-probe.pl $victim /run/quorvane/probe.txt" \
        'Restart=no' >"${stand_in%/*}/memory-probe.conf"
    systemctl daemon-reload
    systemctl stop $helper.service
    rm -f /run/quorvane/probe.txt
    systemctl start $helper.service
    within 10 test -s /run/quorvane/probe.txt && within 10 helper_idle
    result="$(tr '\n' ' ' </run/quorvane/probe.txt 2>/dev/null)"
    echo "# in the helper's sandbox: ${result:-no report}"
    rm -f "${stand_in%/*}/memory-probe.conf"
    systemctl daemon-reload
    systemctl stop qv-victim
    grep -qx 'process_vm read 16 written 16' /root/probe-outside.txt && grep -qx 'mem read 16 written 16' /root/probe-outside.txt \
        && [[ "$result" == "process_vm read -1 written -1 mem read "*" written -1 " ]]
}

# Every request of the helper's protocol, served by the helper in its sandbox to a client run by root
# with perl, which a runtime drop-in lets the helper trust for the while; a timer unit stands in for
# the file indexer. Prints each reply; each must succeed, but a power reading on a machine without
# RAPL counters, which ends the sampler with status 1.
requests_served() {
    local replies failed=0
    printf '%s\n' '[Unit]' 'Description=indexer stand-in' '[Timer]' 'OnCalendar=yearly' >/etc/systemd/system/plocate-updatedb.timer
    printf '%s\n' '[Service]' 'ExecStart=/bin/true' >/etc/systemd/system/plocate-updatedb.service
    mkdir -p "${stand_in%/*}"
    printf '%s\n' '[Service]' "Environment=QUORVANE_HELPER_TRUSTED=$(readlink -f /usr/bin/perl)" \
        >"${stand_in%/*}/trusts-perl.conf"
    systemctl daemon-reload && systemctl start plocate-updatedb.timer && systemctl restart $helper.service
    systemd-run --quiet --unit=qv-target /usr/local/bin/qv-victim infinity
    within 5 test "$(main_pid qv-target)" != 0
    replies="$(perl -MSocket -e '
        socket(my $s, AF_UNIX, SOCK_STREAM, 0) or die "socket: $!";
        connect($s, pack_sockaddr_un("/run/quorvane/com.quorvane.helper.sock")) or die "connect: $!";
        select((select($s), $| = 1)[0]);
        my @requests = ("{\"id\":1,\"op\":\"getVersion\"}", "{\"id\":2,\"op\":\"sendSignal\",\"signal\":19,\"pid\":$ARGV[0]}",
            "{\"id\":3,\"op\":\"sendSignal\",\"signal\":18,\"pid\":$ARGV[0]}", "{\"id\":4,\"op\":\"suppressSpotlight\"}",
            "{\"id\":5,\"op\":\"restoreSpotlight\"}", "{\"id\":6,\"op\":\"getPowerMetrics\"}", "{\"id\":7,\"op\":\"purgeMemory\"}");
        for (@requests) { print $s "$_\n"; my $reply = <$s>; print defined $reply ? $reply : "no reply\n"; }
    ' "$(main_pid qv-target)" 2>&1)"
    printf '%s\n' "$replies" | sed 's/^/# /'
    for id in 1 2 3 4 5 7; do
        printf '%s\n' "$replies" | grep "\"id\":$id[,}]" | grep -qF '"ok":true' || failed=1
    done
    if ls /sys/class/powercap/*/energy_uj >/dev/null 2>&1; then
        printf '%s\n' "$replies" | grep '"id":6[,}]' | grep -qF '"ok":true' || failed=1
    else
        printf '%s\n' "$replies" | grep '"id":6[,}]' | grep -qF '"message":"Process exited with code 1"' || failed=1
    fi
    systemctl stop qv-target plocate-updatedb.timer
    rm -f "${stand_in%/*}/trusts-perl.conf" /etc/systemd/system/plocate-updatedb.timer /etc/systemd/system/plocate-updatedb.service
    systemctl daemon-reload
    systemctl stop $helper.service
    [ "$failed" = 0 ]
}

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
# A root process under a name no rule knows, for the checks of the helper's sandbox.
cp /usr/bin/sleep /usr/local/bin/qv-victim

if [ "${1:-unchecked}" = unchecked ]; then
    echo "# two builds of the package are compared only when package-test.sh builds it"
else
    check "two builds of the package and of its -dbgsym package give the same bytes" test "$1" = same
fi

apt_get update
check "apt installs the package" apt_get install /root/quorvane-pro.deb
check "the package depends on the Qt ABI it was built with" depends_on_qt_abi
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
check "the setup program of a build under another prefix puts its unit copies in place" setup_copies_in_place
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
audit_before="$(($(audit_lines) + 1))"
systemctl kill --signal=SIGTERM qv-app
check "the program ends on SIGTERM without a crash" within 20 ended_without_crash qv-app
check "SIGTERM of the program leaves nothing stopped" running "$freeze"
# The program resumes it as it quits; the helper would too, seeing it gone, so its log says who did.
check "the program resumed the process itself as it quit" program_resumed "$audit_before" "$freeze"

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
audit_before="$(($(audit_lines) + 1))"
systemctl restart $helper.service
check "the helper resumes the process as it restarts" \
    resumed_by "$audit_before" "$freeze" /usr/libexec/quorvane/quorvane-helper
check "the program stops the process again after the helper restarted" within 20 stopped "$freeze"
systemctl stop qv-app-restart qv-build 2>/dev/null
check "stopping that program leaves nothing stopped" within 10 running "$freeze"

check "apt reinstalls the package while the helper runs, which restarts from the new executable" \
    reinstall_while_helper_runs
check "the helper's socket listens and is enabled after the reinstall" listening_and_enabled
check "the setup program disables and enables the packaged helper" setup_round_trip
check "systemd-analyze rates the helper's exposure at most 2.5" exposure_low
check "a process in the helper's sandbox cannot write another process's memory" memory_writes_blocked
check "the helper serves every request in its sandbox" requests_served

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
check "systemd starts a helper that will fail as it stops in place of the killed one" failing_helper_in_place
check "apt removes the package" apt_get remove quorvane-pro
check "removing resumes the suspended process" within 10 running "$freeze"
check "removing keeps the package's logs for a later purge" removed_with_logs
check "removing leaves no failed unit, though the helper failed as it stopped" no_failed_unit
no_stand_in
check "apt purges a removed package" apt_get purge quorvane-pro
check "purging a removed package removes its logs" absent /var/log/quorvane
systemctl stop qv-app qv-app3 qv-build 2>/dev/null

# Purged straight from installed while a helper runs that fails as it stops: nothing of the package can
# fail after a removal, so this is where a purge could leave a failed unit.
check "apt installs the package once more" apt_get install /root/quorvane-pro.deb
check "a helper that will fail as it stops runs" failing_helper_started
check "apt purges the package while that helper runs" apt_get purge quorvane-pro
check "purging leaves no failed unit, though the helper failed as it stopped" no_failed_unit
no_stand_in

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
