#include "DashboardTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <clocale>

#include <sys/statvfs.h>

namespace {

// A tick's readings as a machine without sensors, battery or connections gives them.
DashboardSample quietSample()
{
    DashboardSample s;
    s.cpuKind = DashboardSample::CpuKind::measured;
    s.cpuLoad.perCore = {0.0};
    s.memory.totalGB = 16;
    s.memory.systemUsedGB = 4;
    s.memory.aiModelsGB = 2;
    return s;
}

OllamaModel model(double gigabytes)
{
    return {"sha256:1", "llama3", gigabytes, true, std::nullopt, gigabytes};
}

} // namespace

TEST(DashboardFiguresTest, TemperatureFallbacksAreFlaggedAndFansNeverInvented)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    for (int i = 0; i < 50; ++i) {
        m->publishSample(quietSample());
        EXPECT_GE(m->socTemperature(), 40.5);
        EXPECT_LE(m->socTemperature(), 44.5);
        EXPECT_GE(m->ssdTemperature(), 33.5);
        EXPECT_LE(m->ssdTemperature(), 35.0);
        EXPECT_NEAR(m->gpuTemperature(), m->socTemperature() * 0.9, 1.0);
        EXPECT_EQ(m->throttlingStatus(), 0.0);
        EXPECT_TRUE(m->fanRPMs().isEmpty());
        EXPECT_FALSE(m->measured().socTemperature);
        EXPECT_FALSE(m->measured().gpuTemperature);
        EXPECT_FALSE(m->measured().ssdTemperature);
        EXPECT_FALSE(m->measured().fans);
    }
    DashboardSample hot = quietSample();
    hot.chipTemperature = 110.0;
    hot.gpuTemperature = 70.0; // a GPU sensor of its own: not derived from the chip
    m->publishSample(hot);
    EXPECT_TRUE(m->fanRPMs().isEmpty()); // a hot chip gives no made-up fan curve
    EXPECT_EQ(m->throttlingStatus(), 75.0);
    EXPECT_EQ(m->gpuTemperature(), 70.0);
    EXPECT_TRUE(m->measured().socTemperature);
    EXPECT_FALSE(m->measured().throttling); // a hot chip alone says nothing of throttling
    EXPECT_TRUE(m->measured().gpuTemperature);
    EXPECT_FALSE(m->measured().ssdTemperature);
    DashboardSample counted = quietSample();
    counted.throttleEvents = 0;
    m->publishSample(counted);
    EXPECT_TRUE(m->measured().throttling); // zero events counted is a measurement
    EXPECT_EQ(m->throttleEvents(), 0u);
    counted.throttleEvents = 12;
    m->publishSample(counted);
    EXPECT_EQ(m->throttleEvents(), 12u);

    m->setForceTurboCooling(true); // the override has no fan to drive and invents no speed
    m->publishSample(quietSample());
    EXPECT_TRUE(m->fanRPMs().isEmpty());
    hot.fanRPMs = {2100.0, 0.0};
    m->publishSample(hot);
    EXPECT_EQ(m->fanRPMs(), (QList<double> {2100.0, 0.0}));
    EXPECT_TRUE(m->measured().fans);
}

TEST(DashboardFiguresTest, PowerEstimatesUseThePreviousGpuEstimate)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    m->publishSample(quietSample()); // cpuUsage 0, gpuUsage 0 before this tick's estimate
    EXPECT_EQ(m->cpuPowerDraw(), 0.5);
    EXPECT_EQ(m->gpuPowerDraw(), 0.5);
    EXPECT_EQ(m->powerDraw(), 1.0);
    EXPECT_FALSE(m->measured().powerDraw); // an estimate from the loads, never shown as a reading
    EXPECT_FALSE(m->measured().gpuUsage);

    DashboardSample busy = quietSample();
    busy.cpuLoad.perCore = {1.0};
    busy.cpuLoad.performanceSum = 1.0;
    busy.gpuBusyPercent = 40.0; // measured by the driver: replaces the estimate
    m->publishSample(busy);
    EXPECT_EQ(m->cpuPowerDraw(), 35.0);
    EXPECT_EQ(m->gpuUsage(), 40.0);
    EXPECT_TRUE(m->measured().gpuUsage);
    m->publishSample(busy);
    EXPECT_EQ(m->gpuPowerDraw(), 18.0);
}

TEST(DashboardFiguresTest, FrequencyPowerAndMemoryUseFromTheirSourcesOnly)
{
    FakeMachine machine;
    machine.write("sys/devices/system/cpu/online", "0-1\n");
    machine.write("sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq", "1800000\n");
    machine.write("sys/devices/system/cpu/cpu1/cpufreq/scaling_cur_freq", "2600000\n");
    const auto rapl = [&](const std::string& domain, const std::string& name, std::uint64_t microjoules) {
        machine.write("sys/class/powercap/" + domain + "/name", name + "\n");
        machine.write("sys/class/powercap/" + domain + "/max_energy_range_uj", "262143328850\n");
        machine.write("sys/class/powercap/" + domain + "/energy_uj", std::to_string(microjoules) + "\n");
    };
    rapl("intel-rapl:0", "package-0", 1000000);
    rapl("intel-rapl:0:1", "uncore", 1000);
    machine.write("proc/meminfo",
        "MemTotal: 16000000 kB\nMemFree: 8000000 kB\nMemAvailable: 10000000 kB\nAnonPages: 4000000 kB\n"
        "Shmem: 200000 kB\nUnevictable: 1000 kB\nSUnreclaim: 2000 kB\nKernelStack: 3000 kB\nPageTables: 4000 kB\n");
    auto m = makeModel(machine);
    ASSERT_TRUE(waitFor(m->updateAll()));
    EXPECT_TRUE(m->measured().cpuFrequency);
    EXPECT_DOUBLE_EQ(m->cpuFrequencyGHz(), 2.2);
    EXPECT_FALSE(m->measured().powerDraw); // one reading is no rate yet
    ASSERT_TRUE(m->memoryUse());
    EXPECT_EQ(m->memoryUse()->programBytes, 4200000ull * 1024);
    EXPECT_EQ(m->memoryUse()->wiredBytes, 10000ull * 1024);
    EXPECT_FALSE(m->memoryUse()->compressedBytes); // neither zswap nor zram

    rapl("intel-rapl:0", "package-0", 1000000 + 5000000);
    rapl("intel-rapl:0:1", "uncore", 1000 + 1000000);
    ASSERT_TRUE(waitFor(m->updateAll()));
    ASSERT_TRUE(m->measured().powerDraw);
    // 5 J in the package, 1 J of it graphics, over the time between the two ticks.
    EXPECT_GT(m->powerDraw(), 0.0);
    EXPECT_NEAR(m->cpuPowerDraw(), 4 * m->gpuPowerDraw(), 0.01);
    EXPECT_DOUBLE_EQ(m->powerDraw(), m->cpuPowerDraw() + m->gpuPowerDraw());

    // A machine with none of the sources: nothing measured, whatever numbers the model keeps.
    FakeMachine bare;
    auto b = makeModel(bare);
    ASSERT_TRUE(waitFor(b->updateAll()));
    ASSERT_TRUE(waitFor(b->updateAll()));
    EXPECT_FALSE(b->measured().cpuFrequency);
    EXPECT_FALSE(b->measured().powerDraw);
    EXPECT_FALSE(b->memoryUse());
}

TEST(DashboardFiguresTest, LowPowerModeLeavesReadingsAsMeasured)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    m->setIsLowPowerModeEnabled(true);
    DashboardSample s = quietSample();
    s.cpuLoad.perCore = {1.0, 1.0};
    s.cpuLoad.performanceSum = 2.0;
    s.chipTemperature = 70.0;
    s.models = {model(4.0)};
    m->publishSample(s);
    EXPECT_DOUBLE_EQ(m->cpuUsage(), 100.0);
    EXPECT_DOUBLE_EQ(m->pClusterUsage(), 100.0); // over the cores sampled, not the 4 counted for an empty machine
    EXPECT_DOUBLE_EQ(m->cpuFrequencyGHz(), 3.39);
    EXPECT_DOUBLE_EQ(m->socTemperature(), 70.0);
    EXPECT_EQ(m->powerDraw(), 35.0 + 0.5);
    EXPECT_EQ(m->anePowerDraw(), 3.5); // the same estimate with and without the flag
    EXPECT_GE(m->gpuUsage(), 25.0);
    EXPECT_LE(m->gpuUsage(), 65.0);
    EXPECT_EQ(m->cpuHistory().last(), 100.0);
    EXPECT_TRUE(m->measured().cpuUsage);
    EXPECT_FALSE(m->measured().cpuFrequency);
    EXPECT_FALSE(m->measured().aneUsage);
    EXPECT_FALSE(m->measured().efficiencyCluster); // the fixture machine has one core kind
}

TEST(DashboardFiguresTest, HistoriesStayAtSixtyAndFollowMemory)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    for (int i = 0; i < 130; ++i)
        m->publishSample(quietSample());
    EXPECT_EQ(m->cpuHistory().size(), 60);
    EXPECT_EQ(m->memoryHistory().size(), 60);
    EXPECT_EQ(m->aiMemoryHistory().size(), 60);
    EXPECT_DOUBLE_EQ(m->memoryHistory().last(), 6.0 * 100 / 16);
    EXPECT_DOUBLE_EQ(m->aiMemoryHistory().last(), 2.0 * 100 / 16);
    DashboardSample noTotal = quietSample();
    noTotal.memory.totalGB = 0; // unknown total: 0, never a division by zero
    m->publishSample(noTotal);
    EXPECT_EQ(m->memoryHistory().last(), 0.0);
    EXPECT_EQ(m->aiMemoryHistory().last(), 0.0);
}

TEST(DashboardFiguresTest, DiskUsedLeavesOutTheBlocksReservedForRoot)
{
    // 100 GiB volume: 40 GiB in use, 5 GiB reserved for root, 55 GiB left to the user.
    const auto volume = [](const char*, struct statvfs* info) {
        *info = {};
        info->f_frsize = 4096;
        info->f_blocks = (100ull << 30) / 4096;
        info->f_bfree = (60ull << 30) / 4096;
        info->f_bavail = (55ull << 30) / 4096;
        return 0;
    };
    FakeMachine machine;
    auto m = makeModel(machine);
    DashboardSample s = quietSample();
    s.disk = platform::DiskSpace::of("/home", volume);
    m->publishSample(s);
    EXPECT_DOUBLE_EQ(m->diskTotal(), 100.0);
    EXPECT_DOUBLE_EQ(m->diskUsed(), 40.0);
}

TEST(DashboardFiguresTest, BatteryWithZeroFullCapacityWritesNothing)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    DashboardSample s = quietSample();
    s.battery = platform::BatteryStatus {57, 100, true, 0, false};
    m->publishSample(s);
    EXPECT_EQ(m->batteryPercentage(), 57);
    s.battery = platform::BatteryStatus {1000, 0, false, 30, true};
    m->publishSample(s);
    EXPECT_EQ(m->batteryPercentage(), 57);
    EXPECT_TRUE(m->batteryIsCharging());
    EXPECT_FALSE(m->isUnplugged());
    s.battery.reset(); // desktop: no battery, values stay
    m->publishSample(s);
    EXPECT_EQ(m->batteryPercentage(), 57);
}

TEST(DashboardFiguresTest, ConnectionsAreCappedAtFifteen)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    ASSERT_TRUE(waitFor(m->retainConnections()));
    DashboardSample s = quietSample();
    for (int i = 0; i < 20; ++i)
        s.connections.push_back({"10.0.0.2:5000" + std::to_string(i), "93.184.216.34:443", 100 + i, "curl"});
    m->publishSample(s);
    ASSERT_EQ(m->activeConnections().size(), 15u);
    EXPECT_EQ(
        m->activeConnections()[0], (ConnectionRow {"10.0.0.2:50000->93.184.216.34:443", "ESTABLISHED", "curl", "100"}));
    EXPECT_EQ(m->activeConnections()[14].pid, "114");
    s.connections.resize(15);
    m->publishSample(s);
    EXPECT_EQ(m->activeConnections().size(), 15u);
}

TEST(DashboardFiguresTest, KillingAConnectionsProcess)
{
    QProcess sleeper;
    sleeper.start("sleep", {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    const int pid = static_cast<int>(sleeper.processId());

    FakeMachine machine;
    machine.write("proc/net/tcp", "header\n   0: 1401A8C0:C822 0370528C:01BB 01 0:0 0:0 0 1000 0 4242\n");
    const auto fdDir = machine.root / "proc" / std::to_string(pid) / "fd";
    std::filesystem::create_directories(fdDir);
    std::filesystem::create_symlink("socket:[4242]", fdDir / "3");
    machine.write("proc/" + std::to_string(pid) + "/comm", "sleep\n");
    auto m = makeModel(machine);
    ASSERT_TRUE(waitFor(m->retainConnections()));
    ASSERT_TRUE(waitFor(m->updateAll()));
    ASSERT_EQ(m->activeConnections().size(), 1u);
    EXPECT_EQ(m->activeConnections()[0].pid, QString::number(pid));

    for (const char* bad : {"0", "-5", "abc", "", "99999999999"}) {
        ASSERT_TRUE(waitFor(m->killConnectionProcess(bad)));
        EXPECT_EQ(m->activeConnections().size(), 1u) << bad;
    }
    EXPECT_EQ(sleeper.state(), QProcess::Running);

    auto killed = m->killConnectionProcess(QString::number(pid));
    EXPECT_TRUE(m->activeConnections().empty()); // gone at once, before the list is read again
    // The dead process's socket closes.
    std::filesystem::remove(fdDir / "3");
    machine.write("proc/net/tcp", "header\n");
    ASSERT_TRUE(waitFor(killed));
    if (sleeper.state() != QProcess::NotRunning)
        sleeper.waitForFinished(3000);
    EXPECT_EQ(sleeper.state(), QProcess::NotRunning);
    EXPECT_EQ(sleeper.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(m->activeConnections().empty()); // listed again, and none left
    EXPECT_TRUE(m->connectionsListed());
}

TEST(DashboardFiguresTest, HistoryCsvHasTheExactFormUnderAnyLocale)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    const char* previous = std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::string restore = previous ? previous : "C";

    const auto fresh = m->exportHistoryToCSV();
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(QRegularExpression(R"(/Quorvane_History_\d+\.\d+\.csv$)").match(*fresh).hasMatch())
        << fresh->toStdString();
    QFile file(*fresh);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    file.remove();
    EXPECT_TRUE(text.endsWith('\n'));
    const QStringList lines = text.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), 61);
    EXPECT_EQ(lines[0], "Timestamp,CPUUsage%");
    const QRegularExpression row(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000,0\.0$)");
    for (int i = 1; i <= 60; ++i)
        EXPECT_TRUE(row.match(lines[i]).hasMatch()) << lines[i].toStdString();
    const auto first = QDateTime::fromString(lines[1].left(19), "yyyy-MM-dd HH:mm:ss");
    const auto last = QDateTime::fromString(lines[60].left(19), "yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(first.secsTo(last), 59);

    DashboardSample s = quietSample();
    s.cpuLoad.perCore = {0.125};
    s.cpuLoad.performanceSum = 0.125;
    m->publishSample(s);
    const auto busy = m->exportHistoryToCSV();
    ASSERT_TRUE(busy);
    QFile busyFile(*busy);
    ASSERT_TRUE(busyFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(busyFile.readAll()).endsWith(",12.5\n"));
    busyFile.remove();
    std::setlocale(LC_ALL, restore.c_str());
}

TEST(DashboardFiguresTest, CsvWriteFailureReturnsNothing)
{
    FakeMachine machine;
    auto m = makeModel(machine);
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent-folder/for-sure");
    const auto result = m->exportHistoryToCSV();
    if (tmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmp);
    EXPECT_FALSE(result);
    EXPECT_TRUE(QDir::current().entryList({"Quorvane_History_*"}).isEmpty());
}
