#!/usr/bin/env bash
# Fails when the program's code starts work on another thread, or takes a worker's result home, anywhere but
# in the places below: a bare QtConcurrent::run, a QThreadPool job, a std::thread or std::jthread, std::async,
# QThread::create, a QFutureWatcher, or a continuation attached with then(context, ...). Work leaves the GUI
# thread through shared/core/PoolWork.h (runOnPool, PendingWork, whenFinished, deliverHome), which says how.
#   check-threads.sh [tree]   (default: this checkout)
# Prints each line that breaks the rule and exits 1 when there is one.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

# The places that may start threads, each with its reason.
allowed=(
    shared/core/PoolWork.h              # the one hand-off: pool work, watched futures
    shared/engines/EngineLoop.cpp       # engine loops, stopped and joined by their engine
    shared/engines/EngineLoop.h
    app/core/XPCConnection.cpp          # the helper connection's reader, joined as the connection goes
    platform/services/ChildProcess.cpp  # reaps a child that outlived its run; holds its pid alone
    platform/fs/TreeSizer.cpp           # sizing workers, joined before the size is returned
    helper/src/CallerWatch.cpp          # the helper daemon's own threads (no Qt), joined by their owners
    helper/src/CallerWatch.h
    helper/src/HelperConnection.cpp
    helper/src/HelperConnection.h
    helper/main/HelperMain.cpp
)

pattern='QtConcurrent::|QThreadPool::start|globalInstance\(\)->(start|tryStart)\(|[Pp]ool(->|\.)(start|tryStart)\(|std::j?thread\b(?!::)|std::async\b|QThread::create\b|pthread_create\b|QFutureWatcher|\.then\(\s*[A-Za-z_][A-Za-z0-9_]*\s*,'

# One pass over the sources; comments say what the code does, so only code counts.
hits=$(find app shared platform helper tools -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null \
    | sort -z | xargs -0 -r grep -nHP "$pattern" | grep -vP '^[^:]+:\d+:\s*//' || true)
found=0
while IFS= read -r hit; do
    [ -n "$hit" ] || continue
    file="${hit%%:*}"
    for a in "${allowed[@]}"; do
        [ "$file" = "$a" ] && continue 2
    done
    echo "$hit"
    found=1
done <<<"$hits"

if [ "$found" -ne 0 ]; then
    echo "Start work and bring results home through shared/core/PoolWork.h (runOnPool, PendingWork, whenFinished," \
        "deliverHome); a new place that must start threads goes on the list in scripts/check-threads.sh." >&2
    exit 1
fi
