#!/usr/bin/env bash
# The check that work leaves the GUI thread only through shared/core: it fails on each way of starting a
# thread or taking a result home elsewhere, and passes on what only looks like one.
#   CheckThreadsTest.sh <check-threads.sh>
set -uo pipefail
check="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree/app/popover" "$work/tree/shared/core" "$work/tree/platform/fs"
}
# Each line of code, alone in a file of the program, must fail the check and be named by it.
while IFS= read -r line; do
    tree
    printf 'void f()\n{\n    %s\n}\n' "$line" >"$work/tree/app/popover/Started.cpp"
    if out=$("$check" "$work/tree" 2>/dev/null); then
        fail "passed: $line"
    elif [[ "$out" != "app/popover/Started.cpp:3:"* ]]; then
        fail "not named: $line ($out)"
    fi
done <<'LINES'
auto f = QtConcurrent::run([] { return 1; });
QThreadPool::globalInstance()->start([] {});
m_pool.start([this] { work(); });
pool->tryStart(runnable);
std::thread([] {}).detach();
std::jthread worker([](std::stop_token) {});
auto f = std::async(std::launch::async, [] {});
QThread::create([] {})->start();
auto* watcher = new QFutureWatcher<int>(this);
future.then(this, [this](int v) { use(v); });
LINES

# What only looks like a start, and the places that may start work, pass.
tree
cat >"$work/tree/app/popover/Quiet.cpp" <<'CODE'
// QtConcurrent::run is not called here, and std::thread neither.
const unsigned cores = std::thread::hardware_concurrency();
std::thread::id owner;
runOnPool(pool, this, [] {}, [] {});
whenFinished(future, this, [](const QFuture<void>&) {});
future.then([why] { return *why; });
m_loop.start([this](std::stop_token stop) { run(stop); });
CODE
printf 'auto f = QtConcurrent::run(pool, work);\n' >"$work/tree/shared/core/PoolWork.h"
printf 'std::vector<std::thread> threads;\n' >"$work/tree/platform/fs/TreeSizer.cpp"
out=$("$check" "$work/tree" 2>&1) || fail "a tree without a bare start failed: $out"

exit "$failed"
