#!/usr/bin/env bash
# Installs the Debian package with apt in a Debian 12 container booted with systemd and checks it as a
# user would (scripts/package-test-checks.sh, run inside): the helper's socket and its enablement across
# reinstalls, upgrades over unit copies and administrators' units, Compile Mode suspending and resuming a
# process, quitting, and removing and purging while a process is suspended (and the helper fails as it
# stops, which leaves no failed unit).
#   sudo ./scripts/package-test.sh [build/quorvane-pro_<version>_<arch>.deb]
# Without an argument it builds the package first (scripts/package.sh), then builds it once more in
# another folder (scripts/package-build.sh) and checks that both builds give the same bytes, the
# -dbgsym packages too (scripts/package-compare.sh says where they differ). One test at a time boots a container on this
# machine; another one waits for it, and says so. The container's base system is made once with
# debootstrap and kept, with apt's downloads, in $QV_PACKAGE_TEST_CACHE (default
# /var/cache/quorvane-package-test); each run boots a throw-away copy of it. Where this machine cannot
# boot a container, it says so in one line and exits 0, or 1 with QV_PACKAGE_TEST_REQUIRED=1 (for a
# machine that is meant to run it).
set -euo pipefail
cd "$(dirname "$0")/.."

skip() {
    if [ "${QV_PACKAGE_TEST_REQUIRED:-0}" = 1 ]; then
        echo "package-test: FAIL, $*" >&2
        exit 1
    fi
    echo "package-test: skipped, $*"
    exit 0
}

[ "$(id -u)" -eq 0 ] || skip "it needs root to build and boot a container"
[ "$(uname -s)" = Linux ] || skip "it needs Linux"
./scripts/install-deps.sh --packaging
unshare --pid --mount --uts --ipc --fork true 2>/dev/null || skip "this machine gives no namespaces"
[ -d /sys/fs/cgroup ] || skip "this machine has no control groups"

deb="${1:-}"
builds=unchecked
if [ -z "$deb" ]; then
    # Shown through a pipe: tee would open /dev/stderr anew, which truncates a log file it names.
    deb="$(./scripts/package.sh | tee >(cat >&2) | tail -n 1)"
    # In another folder, whose path has another length, as a build elsewhere would be.
    again="$(./scripts/package-build.sh build/package-elsewhere)"
    builds=same
    # The packages as the first build left them, with its -dbgsym package beside them.
    ./scripts/package-compare.sh "build/package/$(basename "$deb")" "$again" || builds=different
fi
deb="$(realpath "$deb")"
[ -f "$deb" ] || { echo "package-test: no package at $deb" >&2; exit 1; }

cache="${QV_PACKAGE_TEST_CACHE:-/var/cache/quorvane-package-test}"
mkdir -p "$cache"
# Two containers booted at once share the control group this script runs in and fail each other.
exec 9>"$cache/lock"
if ! flock -n 9; then
    echo "package-test: waiting for another package test on this machine to end"
    flock 9
fi
mirror="$(sed -n 's/^URIs: *\(http[^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)"
mirror="${mirror:-http://deb.debian.org/debian}"
mkdir -p "$cache/archives/partial"

if [ ! -x "$cache/base/usr/lib/systemd/systemd" ]; then
    echo "package-test: making the base system in $cache/base (once)"
    rm -rf "$cache/base.tmp"
    debootstrap --include=systemd,dbus,polkitd,libpam-systemd,sudo bookworm "$cache/base.tmp" "$mirror" \
        >"$cache/debootstrap.log" 2>&1 || { echo "package-test: debootstrap failed, see $cache/debootstrap.log" >&2; exit 1; }
    mv "$cache/base.tmp" "$cache/base"
fi

# A throw-away root: an overlay on the base where the kernel allows it, else a copy.
run="$(mktemp -d "$cache/run.XXXXXX")"
nspawn_pid=""
# Every step is tried, whatever an earlier one met; none of them changes the test's exit status.
cleanup() {
    set +e
    if [ -n "$nspawn_pid" ] && kill -0 "$nspawn_pid" 2>/dev/null; then
        kill -TERM "$nspawn_pid" 2>/dev/null || true
        for _ in $(seq 60); do kill -0 "$nspawn_pid" 2>/dev/null || break; sleep 0.5; done
        kill -KILL "$nspawn_pid" 2>/dev/null || true
        wait "$nspawn_pid" 2>/dev/null || true
    fi
    if mountpoint -q "$run/root"; then umount "$run/root"; fi
    rm -rf "$run"
}
trap 'status=$?; cleanup; exit "$status"' EXIT
mkdir -p "$run/root" "$run/upper" "$run/work"
if ! mount -t overlay overlay -o "lowerdir=$cache/base,upperdir=$run/upper,workdir=$run/work" "$run/root" 2>/dev/null; then
    cp -a --reflink=auto "$cache/base/." "$run/root/"
fi
cp scripts/package-test-checks.sh "$run/root/root/checks.sh"
cp "$deb" "$run/root/root/quorvane-pro.deb"

# Booted in the background; entered with nsenter, since nothing here registers machines.
systemd-nspawn --quiet --boot --keep-unit --register=no --console=pipe --machine=qv-package-test \
    --directory="$run/root" --bind="$cache/archives:/var/cache/apt/archives" \
    </dev/null >"$run/console.log" 2>&1 &
nspawn_pid=$!
leader=""
for _ in $(seq 60); do
    leader="$(pgrep -P "$nspawn_pid" -x systemd || true)"
    [ -n "$leader" ] && break
    kill -0 "$nspawn_pid" 2>/dev/null || break
    sleep 0.5
done
inside() { nsenter --target "$leader" --all -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
[ -n "$leader" ] || skip "the container did not boot here: $(tail -n 1 "$run/console.log")"
# Until systemd opens its socket, systemctl cannot reach it.
state=""
for _ in $(seq 120); do
    state="$(inside systemctl is-system-running 2>/dev/null || true)"
    case "$state" in
    running | degraded) break ;;
    esac
    kill -0 "$nspawn_pid" 2>/dev/null || break
    sleep 0.5
done
case "$state" in
running | degraded) ;;
*) skip "the container's systemd did not come up here (state: ${state:-none})" ;;
esac

# The status is the one the closing line's count gives, whatever nsenter passes back.
inside bash /root/checks.sh "$builds" | tee "$run/checks.log" || true
closing="$(tail -n 1 "$run/checks.log")"
case "$closing" in
[0-9]*" passed, 0 failed") exit 0 ;;
[0-9]*" passed, "[0-9]*" failed") exit 1 ;;
esac
echo "package-test: FAIL, the checks ended before their closing line" >&2
exit 1
