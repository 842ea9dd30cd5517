#!/usr/bin/env bash
# Idle cost of quorvane-pro: runs it offscreen for 60 s (QV_IDLE_SECONDS) and prints the CPU time it used per
# second and its resident memory, from /proc, next to top's figures of the same run.
#   bench/idle-cost.sh [path to quorvane-pro]
#     no window. Goal: at most 0.5 % of one core and 80 MB resident.
#   bench/idle-cost.sh --open-popover [path to quorvane-pro]
#     with the popover open on tab QV_POPOVER_TAB (default 1, the CPU tab; 0 memory, 2 actions, 3 storage,
#     4 network), painted offscreen each tick. Goal: under 3 % of one core.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=idle
if [ "${1:-}" = "--open-popover" ]; then
    mode=popover
    shift
fi
program="${1:-build/app/quorvane-pro}"
seconds="${QV_IDLE_SECONDS:-60}"
settle=5

runtime=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$runtime"' EXIT
args=()
if [ "$mode" = popover ]; then
    # Settings of its own: the first-run flow done and the tab to measure chosen, the user's left alone.
    mkdir -p "$runtime/config/Quorvane"
    printf '[General]\nhasFinishedOnboarding=true\npopoverSelectedTab=%s\n' "${QV_POPOVER_TAB:-1}" \
        >"$runtime/config/Quorvane/Quorvane Pro.conf"
    export XDG_CONFIG_HOME="$runtime/config"
    args=(--open-popover)
fi
# Its own runtime folder, so that a copy already running on the desktop does not answer for it.
XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen "$program" "${args[@]}" >/dev/null 2>&1 &
pid=$!
sleep "$settle"

if [ "$mode" = popover ]; then
    label="popover open on tab ${QV_POPOVER_TAB:-1}"
    goal="under 3 % of one core"
else
    label="no window"
    goal="at most 0.5 % of one core and 80 MB resident"
fi
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
start_ticks=$(ticks)
start_ns=$(date +%s%N)
top_log=$(mktemp)
top -b -d "$seconds" -n 2 -p "$pid" >"$top_log" &
top_pid=$!
sleep "$seconds"
end_ticks=$(ticks)
end_ns=$(date +%s%N)
rss_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
hwm_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
wait "$top_pid" || true

elapsed=$(awk -v a="$start_ns" -v b="$end_ns" 'BEGIN {print (b - a) / 1e9}')
awk -v t=$((end_ticks - start_ticks)) -v hz="$hz" -v s="$elapsed" -v rss="$rss_kb" -v hwm="$hwm_kb" 'BEGIN {
    cpu = t / hz;
    printf "quorvane-pro, offscreen, %s, %.1f s measured after %s s of start-up\n", "'"$label"'", s, '"$settle"';
    printf "  /proc:  CPU %.3f s in all = %.2f %% of one core; resident %.1f MB (peak %.1f MB)\n",
        cpu, 100 * cpu / s, rss / 1024, hwm / 1024;
}'
# top's second frame covers the measured interval; %CPU and RES of the program's line.
awk -v pid="$pid" '$1 == pid {cpu = $9; res = $6} END {
    if (res ~ /g$/) mb = substr(res, 1, length(res) - 1) * 1024;
    else if (res ~ /m$/) mb = substr(res, 1, length(res) - 1);
    else mb = res / 1024;
    printf "  top -b: CPU %s %% of one core; resident %.1f MB\n", cpu, mb;
}' "$top_log"
rm -f "$top_log"
echo "  goal:   $goal"
