#include "engines/MemoryEngine.h"

#include "platform/io/ProcFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using platform::VmCounts;
using platform::VmSample;

namespace {

constexpr std::uint64_t GiB = 1ull << 30;
constexpr std::uint64_t pagesPerGB = GiB / 4096;

VmSample sample(double freeGB, double activeGB, double inactiveGB, double wiredGB)
{
    VmSample s;
    s.memTotalBytes = 64 * GiB;
    const auto pages = [](double gb) { return static_cast<std::uint64_t>(gb * pagesPerGB); };
    s.counts = VmCounts {pages(freeGB), pages(activeGB), pages(inactiveGB), pages(wiredGB), 0};
    s.swap = platform::SwapUsage {4 * GiB, 3 * GiB, GiB};
    return s;
}

} // namespace

TEST(MemoryEngineSample, FiguresInGigabytes)
{
    const Date at = Date::fromReferenceDate(1000);
    const auto s = MemoryEngine::makeState(sample(2, 10, 6, 3), 4096, 4, at);
    EXPECT_DOUBLE_EQ(s.totalGB, 64);
    EXPECT_DOUBLE_EQ(s.freeGB, 2);
    EXPECT_DOUBLE_EQ(s.inactiveGB, 6);
    EXPECT_DOUBLE_EQ(s.systemUsedGB, 10 + 3 - 4);
    EXPECT_DOUBLE_EQ(s.aiModelsGB, 4);
    EXPECT_DOUBLE_EQ(s.swapUsedGB, 1);
    EXPECT_EQ(s.timestamp, at);
}

TEST(MemoryEngineSample, SystemUsedNeverNegativeOrNaN)
{
    EXPECT_EQ(MemoryEngine::makeState(sample(2, 1, 6, 1), 4096, 50, {}).systemUsedGB, 0.0);
    EXPECT_EQ(MemoryEngine::makeState(sample(2, 1, 6, 1), 4096, std::nan(""), {}).systemUsedGB, 0.0);
}

TEST(MemoryEngineSample, MissingReadingsGiveZerosForTheirFieldsOnly)
{
    VmSample noCounts = sample(2, 10, 6, 3);
    noCounts.counts.reset();
    const auto s = MemoryEngine::makeState(noCounts, 4096, 1, {});
    EXPECT_EQ(s.freeGB, 0.0);
    EXPECT_EQ(s.inactiveGB, 0.0);
    EXPECT_EQ(s.systemUsedGB, 0.0);
    EXPECT_DOUBLE_EQ(s.totalGB, 64);
    EXPECT_DOUBLE_EQ(s.swapUsedGB, 1);

    const auto empty = MemoryEngine::makeState(VmSample {}, 0, 0, {});
    EXPECT_EQ(empty.totalGB, 0.0);
    EXPECT_EQ(empty.swapUsedGB, 0.0);
}

TEST(MemoryEngineSample, HeadroomThresholdsAreStrict)
{
    const auto eight = MemoryEngine::makeState(sample(4, 10, 4, 3), 4096, 0, {});
    EXPECT_DOUBLE_EQ(eight.headroomGB(), 8.0);
    EXPECT_TRUE(eight.isWarning());
    EXPECT_FALSE(eight.isCritical());
    const auto sixteen = MemoryEngine::makeState(sample(10, 10, 6, 3), 4096, 0, {});
    EXPECT_FALSE(sixteen.isWarning());
    EXPECT_FALSE(sixteen.isCritical());
}

TEST(MemoryEngineSnapshot, FixtureAndThisMachine)
{
    MemoryEngine fixture(std::string(QV_TEST_DATA_DIR) + "/machines/hybrid-intel/proc");
    fixture.updateAIModelsMemory(2.5);
    const auto s = fixture.snapshot();
    EXPECT_NEAR(s.totalGB, 32543820.0 / (1024 * 1024), 1e-9);
    EXPECT_NEAR(s.swapUsedGB, (8388604.0 - 7340028.0) / (1024 * 1024), 1e-9);
    EXPECT_DOUBLE_EQ(s.aiModelsGB, 2.5);
    EXPECT_NEAR(Date::now().timeIntervalSince(s.timestamp), 0, 5);

    struct sysinfo info
    {
    };
    ASSERT_EQ(sysinfo(&info), 0);
    const auto real = MemoryEngine().snapshot();
    EXPECT_NEAR(real.totalGB, static_cast<double>(info.totalram) * info.mem_unit / GiB, 0.001);
    EXPECT_GT(real.freeGB + real.inactiveGB, 0);
    EXPECT_LE(real.freeGB + real.inactiveGB, real.totalGB);
}

TEST(MemoryEngineInterval, OutOfRangeIntervalsAreClamped)
{
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(2.5), 2.5);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(0), 0.1);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(-3), 0.1);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(-std::numeric_limits<double>::infinity()), 0.1);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(std::numeric_limits<double>::infinity()), 86400);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(1e300), 86400);
    EXPECT_DOUBLE_EQ(MemoryEngine::clampedInterval(std::nan("")), 3.0);
}

TEST(MemoryEnginePolling, ZeroIntervalPollsWithoutSpinning)
{
    MemoryEngine engine;
    std::atomic<int> samples = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++samples; });
    engine.startPolling(0);
    EXPECT_DOUBLE_EQ(engine.interval(), 0.1);
    std::this_thread::sleep_for(450ms);
    engine.stopPolling();
    EXPECT_GE(samples.load(), 2);
    EXPECT_LE(samples.load(), 7);
}

TEST(MemoryEnginePolling, RestartLeavesOneLoopAtTheNewInterval)
{
    MemoryEngine engine;
    engine.stopPolling(); // nothing running: harmless
    EXPECT_FALSE(engine.isPolling());
    std::atomic<int> samples = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++samples; });
    engine.startPolling(0.1);
    std::this_thread::sleep_for(250ms);
    engine.startPolling(60);
    const int beforeRestart = samples.load(); // the fast loop has ended when startPolling returns
    EXPECT_GE(beforeRestart, 2);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(samples.load(), beforeRestart + 1); // only the new loop's immediate sample
    EXPECT_DOUBLE_EQ(engine.interval(), 60);
    EXPECT_TRUE(engine.isPolling());
    engine.stopPolling();
    EXPECT_FALSE(engine.isPolling());
}

TEST(MemoryEnginePolling, NewHandlerGetsTheNextSampleAndStopEndsDelivery)
{
    MemoryEngine engine;
    std::atomic<int> first = 0;
    std::atomic<int> second = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++first; });
    engine.startPolling(0.1);
    std::this_thread::sleep_for(150ms);
    engine.registerOnUpdate([&](const SystemMemoryState&) { ++second; });
    const int firstSeen = first.load();
    std::this_thread::sleep_for(250ms);
    engine.stopPolling();
    const int secondSeen = second.load();
    EXPECT_EQ(first.load(), firstSeen);
    EXPECT_GE(secondSeen, 1);
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(second.load(), secondSeen);
}

TEST(MemoryEnginePolling, HandlerMayStopItsOwnEngine)
{
    MemoryEngine engine;
    std::atomic<int> samples = 0;
    engine.registerOnUpdate([&](const SystemMemoryState&) {
        ++samples;
        engine.stopPolling();
    });
    engine.startPolling(0.1);
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(samples.load(), 1);
    EXPECT_FALSE(engine.isPolling());
}

// The figures on the real machine, side by side with what procps' `free` reports. Other programs allocate
// and release memory meanwhile, so each check is tried a few times and passes on the first quiet attempt.
namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr std::size_t kChildBytes = 512ull << 20;
constexpr double kTolerance = 0.1 * kChildBytes; // 10 % of 512 MiB
constexpr int kAttempts = 6;

double usedBytes(const SystemMemoryState& s)
{
    return (s.systemUsedGB + s.aiModelsGB) * GiB;
}

double availableBytes()
{
    const auto available = platform::VmStatistics::meminfoBytes(
        platform::procfiles::readText("/proc/meminfo").value_or(""), "MemAvailable");
    return available ? static_cast<double>(*available) : 0;
}

// The "used" column of `free -b`; nothing when the tool is missing.
std::optional<double> freeToolUsedBytes()
{
    FILE* pipe = ::popen("free -b 2>/dev/null", "r");
    if (!pipe)
        return std::nullopt;
    char line[512];
    std::optional<double> used;
    while (std::fgets(line, sizeof line, pipe)) {
        double total = 0;
        double value = 0;
        if (std::sscanf(line, "Mem: %lf %lf", &total, &value) == 2)
            used = value;
    }
    ::pclose(pipe);
    return used;
}

// A child that maps, touches and holds `bytes` of anonymous memory until it is told to exit.
class MemoryHog
{
public:
    explicit MemoryHog(std::size_t bytes)
    {
        int ready[2];
        int quit[2];
        if (::pipe(ready) != 0 || ::pipe(quit) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls here: the test program has threads. The parent's ends are
            // closed so that its closing the quit pipe ends the wait below.
            ::close(ready[0]);
            ::close(quit[1]);
            char* memory = static_cast<char*>(
                ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
            if (memory == MAP_FAILED)
                ::_exit(1);
            for (std::size_t at = 0; at < bytes; at += 4096)
                memory[at] = 1;
            char byte = 1;
            (void)!::write(ready[1], &byte, 1);
            (void)!::read(quit[0], &byte, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(quit[0]);
        m_quit = quit[1];
        char byte = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~MemoryHog() { release(); }
    // Ends the child; its memory is given back before waitpid returns.
    void release()
    {
        if (m_quit >= 0)
            ::close(m_quit);
        if (m_pid > 0)
            ::waitpid(m_pid, nullptr, 0);
        m_quit = -1;
        m_pid = -1;
    }
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    int m_quit = -1;
    bool m_ready = false;
};

void readWhole(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    while (!file.read(1 << 20).isEmpty()) { }
}

} // namespace

TEST(MemoryEngineMachine, UsedMatchesTheFreeTool)
{
    MemoryEngine engine;
    if (!freeToolUsedBytes())
        GTEST_SKIP() << "no free tool";
    double gap = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const double before = usedBytes(engine.snapshot());
        const double tool = *freeToolUsedBytes();
        const double after = usedBytes(engine.snapshot());
        gap = std::max(std::min(before, after) - tool, tool - std::max(before, after));
        if (gap <= 16 * kMiB)
            break;
    }
    EXPECT_LE(gap, 16 * kMiB);
}

namespace {

void expectProgramMemoryCountsAsUsed()
{
    if (availableBytes() < 3.0 * kChildBytes)
        return; // not enough free memory for a 512 MiB child
    MemoryEngine engine;
    // Used and `free`'s used, taken together.
    const auto reading = [&engine] { return std::pair {usedBytes(engine.snapshot()), freeToolUsedBytes()}; };
    double usedDelta = 0;
    std::optional<double> toolDelta;
    for (int attempt = 0; attempt < 2 * kAttempts; ++attempt) {
        // Touching the pages takes seconds on a busy machine, ending the child a few milliseconds: compare
        // the figures while the child holds its memory with those right after it exited. The kernel folds
        // its per-CPU counters once a second; give it that long after each change.
        MemoryHog hog(kChildBytes);
        ASSERT_TRUE(hog.ready());
        std::this_thread::sleep_for(1500ms);
        const auto holding = reading();
        hog.release();
        std::this_thread::sleep_for(1500ms);
        const auto released = reading();
        usedDelta = holding.first - released.first;
        toolDelta.reset();
        if (holding.second && released.second)
            toolDelta = *holding.second - *released.second;
        if (std::abs(usedDelta - kChildBytes) <= kTolerance)
            break;
    }
    // On a machine busy with other programs no attempt may be quiet enough; then the change must be the
    // one `free` saw at the same moments.
    if (std::abs(usedDelta - kChildBytes) > kTolerance && toolDelta) {
        EXPECT_NEAR(usedDelta / kMiB, *toolDelta / kMiB, kTolerance / kMiB);
    } else {
        EXPECT_NEAR(usedDelta / kMiB, 512, kTolerance / kMiB);
    }
}

void expectFileCacheIsNotUsed()
{
    constexpr qint64 fileBytes = 1ll << 30;
    if (availableBytes() < 3.0 * fileBytes)
        return; // not enough free memory to cache a 1 GiB file
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("large");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, 'x');
        for (qint64 written = 0; written < fileBytes; written += block.size())
            ASSERT_EQ(file.write(block), block.size());
        ASSERT_TRUE(file.flush());
        ASSERT_EQ(::fsync(file.handle()), 0);
    }
    MemoryEngine engine;
    double usedDelta = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Reading the file twice puts its pages on the kernel's active list; dropping them from the cache
        // takes milliseconds, so the figures with and without the cached file are taken close together.
        readWhole(path);
        readWhole(path);
        const auto cached = engine.snapshot();
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
        usedDelta = usedBytes(cached) - usedBytes(engine.snapshot());
        if (std::abs(usedDelta) <= kTolerance)
            break;
    }
    EXPECT_NEAR(usedDelta / kMiB, 0, kTolerance / kMiB);
}

} // namespace

// One test, so that ctest never runs the two side by side: each would disturb the other's figures.
TEST(MemoryEngineMachine, UsedFollowsProgramMemoryNotFileCache)
{
    if (availableBytes() < 3.0 * (1ll << 30))
        GTEST_SKIP() << "not enough free memory";
    {
        SCOPED_TRACE("a child holding 512 MiB");
        expectProgramMemoryCountsAsUsed();
    }
    {
        SCOPED_TRACE("a 1 GiB file read twice");
        expectFileCacheIsNotUsed();
    }
}
