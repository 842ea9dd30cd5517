#include "DashboardTestSupport.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "shared/engines/ScreenRefreshRate.h"
#include "support/AllocationPause.h"

#include <QSignalSpy>

#include <httplib.h>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

std::string statLine(const std::string& cpu, int user, int nice, int system, int idle)
{
    return cpu + " " + std::to_string(user) + " " + std::to_string(nice) + " " + std::to_string(system) + " "
        + std::to_string(idle) + " 0 0 0 0 0 0\n";
}

// A loopback stand-in for the model server: "/" answers, "/api/ps" fails. A closed server holds each answer
// to "/" until the test opens it (a second at most), so that a tick can be held after it has read the CPU.
class BrokenOllama
{
public:
    explicit BrokenOllama(bool open = true)
        : m_open(open)
    {
        m_server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
            std::unique_lock lock(m_mutex);
            ++m_requests;
            m_changed.notify_all();
            m_changed.wait_for(lock, std::chrono::seconds(1), [this] { return m_open; });
            res.set_content("Ollama is running", "text/plain");
        });
        m_server.Get("/api/ps", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~BrokenOllama()
    {
        open();
        m_server.stop();
        m_thread.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    bool waitForRequest()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_requests > 0; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_requests = 0;
    bool m_open;
};

} // namespace

TEST(DashboardViewModelTest, FreshModelShowsPlaceholders)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    for (const auto& history : {model->cpuHistory(), model->memoryHistory(), model->aiMemoryHistory()})
        EXPECT_EQ(history, QList<double>(60, 0.0));
    EXPECT_EQ(model->cpuFrequencyGHz(), 1.89);
    EXPECT_EQ(model->userCpuPercent(), 7.0);
    EXPECT_EQ(model->systemCpuPercent(), 5.0);
    EXPECT_EQ(model->displayFPS(), 60);
    EXPECT_EQ(model->fanRPMs(), QList<double> {0.0});
    EXPECT_EQ(model->localIP(), "127.0.0.1");
    EXPECT_EQ(model->publicIP(), "Checking...");
    EXPECT_FALSE(model->memoryState());
    EXPECT_FALSE(model->isPolling());
    // Neither CPU kind is known on this empty machine.
    EXPECT_EQ(model->eCoreCount(), 4);
    EXPECT_EQ(model->pCoreCount(), 4);
    EXPECT_EQ(model->gpuCoreCount(), 16);
}

TEST(DashboardViewModelTest, CoreCountsFromTheCpuLists)
{
    FakeMachine machine;
    machine.hybridCpus();
    auto model = makeModel(machine);
    EXPECT_EQ(model->eCoreCount(), 2);
    EXPECT_EQ(model->pCoreCount(), 2);
    EXPECT_EQ(model->gpuCoreCount(), 8);
}

TEST(DashboardViewModelTest, CpuFiguresFromTwoTicksOverSharedCores)
{
    FakeMachine machine;
    machine.hybridCpus();
    machine.write("proc/stat",
        statLine("cpu", 0, 0, 0, 0) + statLine("cpu0", 100, 0, 100, 800) + statLine("cpu1", 100, 0, 100, 800)
            + statLine("cpu2", 100, 0, 100, 800) + statLine("cpu3", 100, 0, 100, 800));
    auto model = makeModel(machine);

    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->cpuUsage(), 0.0); // the tracker's first call
    EXPECT_EQ(model->perCoreUsage(), QList<double>(4, 0.0)); // idle, unmeasured cores until a load is known
    EXPECT_FALSE(model->measured().cpuUsage);
    EXPECT_FALSE(model->measured().perCoreUsage);
    EXPECT_EQ(model->cpuFrequencyGHz(), 1.89);
    EXPECT_EQ(model->userCpuPercent(), 7.0);

    // cpu0: 50 user + 50 nice of 100 -> 1.0; cpu1 idle all along (no movement) -> 0;
    // cpu2 (efficiency): 25 system of 100 -> 0.25; cpu3 went offline; cpu4 is new.
    machine.write("proc/stat",
        statLine("cpu", 0, 0, 0, 0) + statLine("cpu0", 150, 50, 100, 800) + statLine("cpu1", 100, 0, 100, 800)
            + statLine("cpu2", 100, 0, 125, 875) + statLine("cpu4", 5, 0, 5, 5));
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->perCoreUsage(), (QList<double> {1.0, 0.0, 0.25}));
    EXPECT_TRUE(model->measured().perCoreUsage);
    EXPECT_TRUE(model->measured().efficiencyCluster);
    EXPECT_DOUBLE_EQ(model->userCpuPercent(), 50.0 / 200.0 * 100.0);
    EXPECT_DOUBLE_EQ(model->systemCpuPercent(), 25.0 / 200.0 * 100.0);
    EXPECT_DOUBLE_EQ(model->pClusterUsage(), 1.0 / 2 * 100.0);
    EXPECT_DOUBLE_EQ(model->eClusterUsage(), 0.25 / 2 * 100.0);
    EXPECT_DOUBLE_EQ(model->cpuUsage(), 1.25 / 3 * 100.0);
    EXPECT_DOUBLE_EQ(model->cpuFrequencyGHz(), 1.89 + model->cpuUsage() / 100.0 * 1.5);

    // Counters that went backwards (a CPU brought back online) count as no movement, not as a huge number.
    machine.write("proc/stat", statLine("cpu", 0, 0, 0, 0) + statLine("cpu0", 10, 0, 10, 10));
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->perCoreUsage(), QList<double> {0.0});
    EXPECT_EQ(model->cpuUsage(), 0.0);
    EXPECT_DOUBLE_EQ(model->userCpuPercent(), 25.0); // no ticks moved: the shares keep their values
}

TEST(DashboardViewModelTest, OneCoreKindAveragesOverEveryCoreAndHistoryShowsOnlyReadings)
{
    // No CPU lists when the model starts, so the core counts are the 4 + 4 stand-ins.
    FakeMachine machine;
    auto model = makeModel(machine);
    std::string idle = statLine("cpu", 0, 0, 0, 0);
    std::string busy = idle;
    for (int cpu = 0; cpu < 8; ++cpu) {
        idle += statLine("cpu" + std::to_string(cpu), 100, 0, 0, 100);
        busy += statLine("cpu" + std::to_string(cpu), 150, 0, 0, 150);
    }
    machine.write("proc/stat", idle);
    ASSERT_TRUE(waitFor(model->updateAll()));
    for (const double v : model->measuredCpuHistory())
        EXPECT_TRUE(std::isnan(v)); // nothing measured yet: nothing to draw, not a 0 % line

    machine.write("proc/stat", busy);
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_DOUBLE_EQ(model->cpuUsage(), 50.0);
    EXPECT_DOUBLE_EQ(model->pClusterUsage(), 50.0); // every core is a performance core, not 8 over 4
    EXPECT_FALSE(model->measured().efficiencyCluster);
    const auto history = model->measuredCpuHistory();
    EXPECT_EQ(history.back(), 50.0);
    EXPECT_TRUE(std::isnan(history[history.size() - 2]));
    EXPECT_EQ(model->cpuHistory().size(), 60); // the exported history keeps its numbers

    // A tick that cannot read the counters leaves a gap; the readings before it stay drawn.
    std::filesystem::remove(machine.root / "proc/stat");
    ASSERT_TRUE(waitFor(model->updateAll()));
    const auto gap = model->measuredCpuHistory();
    EXPECT_TRUE(std::isnan(gap.back()));
    EXPECT_EQ(gap[gap.size() - 2], 50.0);
}

TEST(DashboardViewModelTest, DisplayRateOnlyWhereTheDisplayReportsOne)
{
    using ScreenRefreshRate::reported;
    EXPECT_EQ(reported(u"xcb", 59.94), 59.94);
    EXPECT_EQ(reported(u"wayland-egl", 120.0), 120.0);
    EXPECT_FALSE(reported(u"xcb", 0.0)); // a virtual display's 0 Hz mode, which QScreen turns into 60
    EXPECT_FALSE(reported(u"offscreen", 60.0)); // a platform's default, not a display's rate
    EXPECT_FALSE(reported(u"minimal", 60.0));

    FakeMachine machine;
    auto model = makeModel(machine);
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_FALSE(model->measured().displayFPS); // the tests run offscreen
}

TEST(DashboardViewModelTest, MissingProcStatFallsBackToPlaceholders)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->cpuUsage(), 0.0);
    EXPECT_FALSE(model->perCoreUsage().isEmpty());
    const auto placeholders = model->perCoreUsage();
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->perCoreUsage(), placeholders); // a non-empty list is left as it is
}

TEST(DashboardViewModelTest, OllamaRunningWithFailingModelList)
{
    BrokenOllama server;
    FakeMachine machine;
    auto model = makeModel(machine, server.url());
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_TRUE(model->isOllamaRunning());
    EXPECT_TRUE(model->loadedModels().empty());
    EXPECT_EQ(model->anePowerDraw(), 0.02);
    EXPECT_LE(model->aneUsage(), 0.5);
    EXPECT_GE(model->gpuUsage(), 0.5);
    EXPECT_LE(model->gpuUsage(), 2.5);
    ASSERT_TRUE(model->memoryState());
    EXPECT_EQ(model->memoryState()->aiModelsGB, 0.0);
    EXPECT_NEAR(model->memoryState()->totalGB, 32543820.0 * 1024 / (1 << 30), 1e-9);
    // The fake machine has no thermal zones: a state is published, and it claims no level.
    ASSERT_TRUE(model->thermalState());
    EXPECT_EQ(model->thermalState()->level, QVThermalState::Level::unknown);
    EXPECT_FALSE(model->thermalState()->shouldAlert);
}

TEST(DashboardViewModelTest, PausedProcessListKeepsItsValueWhileTheRestUpdates)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    model->setIsProcessesPaused(true);
    QSignalSpy processes(model.get(), &DashboardViewModel::topProcessesChanged);
    QSignalSpy memory(model.get(), &DashboardViewModel::memoryStateChanged);
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(processes.count(), 0);
    EXPECT_EQ(memory.count(), 1);
}

TEST(DashboardViewModelTest, TopProcessesOfTheRealMachine)
{
    FakeMachine machine;
    DashboardSources sources = machine.sources();
    sources.procRoot = "/proc";
    auto model = std::make_unique<DashboardViewModel>(std::make_shared<MemoryEngine>(),
        std::make_shared<OllamaEngine>("http://127.0.0.1:9"), std::make_shared<ThermalEngine>(machine.sys()), sources);
    ASSERT_TRUE(waitFor(model->updateAll()));
    const auto& top = model->topProcesses();
    ASSERT_FALSE(top.empty());
    EXPECT_LE(top.size(), 15u);
    for (std::size_t i = 1; i < top.size(); ++i)
        EXPECT_GE(top[i - 1].cpuPercent, top[i].cpuPercent);
    // The memory list ranks every process by resident memory, not the busiest ones re-sorted.
    const auto& largest = model->topMemoryProcesses();
    ASSERT_FALSE(largest.empty());
    for (std::size_t i = 1; i < largest.size(); ++i)
        EXPECT_GE(largest[i - 1].memoryMB, largest[i].memoryMB);
    for (const auto& busy : top)
        EXPECT_GE(largest.front().memoryMB, busy.memoryMB);
    EXPECT_GT(model->diskTotal(), 0.0);
    EXPECT_GE(model->diskTotal(), model->diskUsed());
}

TEST(DashboardViewModelTest, OverlappingTicksAreSkipped)
{
    // The model server holds the first tick until the second is asked for: a tick that has already
    // finished when its continuation is attached publishes at once, and the next is no overlap.
    BrokenOllama server(false);
    FakeMachine machine;
    auto model = makeModel(machine, server.url());
    QSignalSpy memory(model.get(), &DashboardViewModel::memoryStateChanged);
    const auto first = model->updateAll();
    ASSERT_TRUE(server.waitForRequest());
    const auto second = model->updateAll(); // still reading: joins the first tick
    server.open();
    ASSERT_TRUE(waitFor(first));
    ASSERT_TRUE(waitFor(second));
    EXPECT_EQ(memory.count(), 1);
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(memory.count(), 2);
}

TEST(DashboardViewModelTest, ReclaimNotificationAndPollingTick)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    QSignalSpy memory(model.get(), &DashboardViewModel::memoryStateChanged);
    NotificationCenter::defaultCenter().post(Notifications::didReclaimStorage);
    EXPECT_TRUE(memory.wait(5000));

    model->startPolling();
    EXPECT_TRUE(model->isPolling());
    EXPECT_TRUE(memory.wait(5000)); // the tick at the start of polling
    EXPECT_TRUE(memory.wait(3000)); // and one a second later
    model->stopPolling();
    EXPECT_FALSE(model->isPolling());
}

TEST(DashboardViewModelTest, ReclaimDuringATickSamplesAgainAfterIt)
{
    BrokenOllama server(false);
    FakeMachine machine;
    machine.hybridCpus();
    machine.write("proc/stat", statLine("cpu", 0, 0, 0, 0) + statLine("cpu0", 100, 0, 100, 800));
    auto model = makeModel(machine, server.url());
    const auto tick = model->updateAll();
    ASSERT_TRUE(server.waitForRequest()); // the tick has read the counters and waits on the model server

    // Files are deleted and the notification handled while that tick is still in flight.
    machine.write("proc/stat", statLine("cpu", 0, 0, 0, 0) + statLine("cpu0", 150, 0, 150, 800));
    NotificationCenter::defaultCenter().post(Notifications::didReclaimStorage);
    QCoreApplication::processEvents();
    server.open();
    ASSERT_TRUE(waitFor(tick));

    // Only a tick that read the counters after the deletion can measure the movement between them.
    QElapsedTimer timer;
    timer.start();
    while (model->perCoreUsage() != QList<double> {1.0} && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(model->perCoreUsage(), QList<double> {1.0});
}

TEST(DashboardViewModelTest, MemorySnapshotIsNotPublished)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    auto future = model->getMemorySnapshot();
    ASSERT_TRUE(waitFor(future));
    EXPECT_GT(future.result().totalGB, 30.0);
    EXPECT_FALSE(model->memoryState());
}

TEST(DashboardViewModelTest, SensorsBatteryNetworkAndConnectionsOfAFixtureLaptop)
{
    FakeMachine machine;
    machine.write("sys/class/hwmon/hwmon0/name", "coretemp\n");
    machine.write("sys/class/hwmon/hwmon0/temp1_label", "Package id 0\n");
    machine.write("sys/class/hwmon/hwmon0/temp1_input", "61000\n");
    machine.write("sys/class/hwmon/hwmon1/name", "thinkpad\n");
    machine.write("sys/class/hwmon/hwmon1/fan1_input", "3100\n");
    machine.write("sys/class/power_supply/AC/type", "Mains\n");
    machine.write("sys/class/power_supply/AC/online", "1\n");
    machine.write("sys/class/power_supply/BAT0/type", "Battery\n");
    machine.write("sys/class/power_supply/BAT0/status", "Charging\n");
    machine.write("sys/class/power_supply/BAT0/capacity", "57\n");
    machine.write("sys/class/net/eth0/statistics/rx_bytes", "10240\n");
    machine.write("sys/class/net/eth0/statistics/tx_bytes", "2048\n");
    auto model = makeModel(machine);
    ASSERT_TRUE(waitFor(model->retainConnections()));
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->socTemperature(), 61.0);
    EXPECT_EQ(model->ssdTemperature() >= 33.5 && model->ssdTemperature() <= 35.0, true); // no SSD sensor
    EXPECT_EQ(model->fanRPMs(), QList<double> {3100.0});
    EXPECT_EQ(model->batteryPercentage(), 57);
    EXPECT_TRUE(model->measured().socTemperature);
    EXPECT_TRUE(model->measured().fans);
    EXPECT_TRUE(model->measured().battery);
    EXPECT_FALSE(model->measured().network); // first sample: no rate yet
    EXPECT_TRUE(model->batteryIsCharging());
    EXPECT_FALSE(model->isUnplugged());
    EXPECT_EQ(model->networkDownload(), 0.0); // first sample: no rate
    // No row stands in for a missing connection: the list is empty, and known to be.
    EXPECT_TRUE(model->activeConnections().empty());
    EXPECT_TRUE(model->connectionsListed());

    machine.write("sys/class/net/eth0/statistics/rx_bytes", "30720\n");
    machine.write("sys/class/net/eth0/statistics/tx_bytes", "3072\n");
    machine.write("sys/class/power_supply/AC/online", "0\n");
    machine.write("sys/class/power_supply/BAT0/status", "Discharging\n");
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->networkDownload(), 20.0);
    EXPECT_EQ(model->networkUpload(), 1.0);
    EXPECT_TRUE(model->isUnplugged());

    // An interface went away: the totals shrink and no rate is written.
    machine.write("sys/class/net/eth0/statistics/rx_bytes", "0\n");
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->networkDownload(), 20.0);
}

TEST(DashboardViewModelTest, ConnectionsAreListedOnlyWhileAViewWantsThemAndFreshOnOpening)
{
    FakeMachine machine;
    const auto socket = [&](int pid, int inode) {
        const auto fd = machine.root / "proc" / std::to_string(pid) / "fd";
        std::filesystem::create_directories(fd);
        std::filesystem::create_symlink("socket:[" + std::to_string(inode) + "]", fd / "3");
        machine.write("proc/" + std::to_string(pid) + "/comm", "curl\n");
    };
    const std::string header = "  sl  local_address rem_address   st\n";
    const std::string first = "   0: 1401A8C0:C822 0370528C:01BB 01 0:0 0:0 0 1000 0 4242\n";
    const std::string second = "   1: 1401A8C0:C823 0370528C:01BB 01 0:0 0:0 0 1000 0 4243\n";
    socket(4321, 4242);
    socket(4322, 4243);
    machine.write("proc/net/tcp", header + first);
    auto model = makeModel(machine);

    // Nobody shows them: a tick does not list them.
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_FALSE(model->listsConnections());
    EXPECT_TRUE(model->activeConnections().empty());

    // The first view to open gets them at once, not at the next tick.
    ASSERT_TRUE(waitFor(model->retainConnections()));
    ASSERT_EQ(model->activeConnections().size(), 1u);
    EXPECT_EQ(model->activeConnections()[0].remote, "192.168.1.20:51234->140.82.112.3:443");
    // A second view adds no listing of its own; the ticks keep the list fresh for both.
    EXPECT_TRUE(model->retainConnections().isFinished());
    machine.write("proc/net/tcp", header + first + second);
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_EQ(model->activeConnections().size(), 2u);

    // One view closes: still listed. The last one closes: the list goes and ticks leave it alone.
    model->releaseConnections();
    EXPECT_TRUE(model->listsConnections());
    EXPECT_EQ(model->activeConnections().size(), 2u);
    model->releaseConnections();
    EXPECT_FALSE(model->listsConnections());
    EXPECT_TRUE(model->activeConnections().empty());
    ASSERT_TRUE(waitFor(model->updateAll()));
    EXPECT_TRUE(model->activeConnections().empty());
    model->releaseConnections(); // one release too many changes nothing
    EXPECT_FALSE(model->listsConnections());

    // A view that closes before its opening listing arrives leaves no list behind for the next one.
    auto listing = model->retainConnections();
    model->releaseConnections();
    ASSERT_TRUE(waitFor(listing));
    EXPECT_TRUE(model->activeConnections().empty());
}

TEST(DashboardViewModelTest, AModelReleasedWhileItLooksUpThePublicAddressIsNotReached)
{
    // The lookup fails at once (nothing listens), and its answer still has to find its way back. In the
    // sanitizer build the lookup is held at each of its allocations in turn while the model goes; without
    // the sanitizer's allocation hook nothing holds it and a touch of the freed model goes unseen.
    if (!allocationpause::available())
        GTEST_SKIP() << "needs AddressSanitizer to hold the lookup while the model goes and to see a touch";
    FakeMachine machine;
    for (int allowed = 0;; ++allowed) {
        auto model = makeModel(machine);
        if (!allocationpause::releasedWhileHeld(
                allowed, [&] { model->retainPublicAddress(); }, [&] { model.reset(); }))
            break;
    }
}
