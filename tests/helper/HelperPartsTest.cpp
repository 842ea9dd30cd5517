#include "HelperTestSupport.h"

#include "helper/src/AuditLog.h"
#include "helper/src/HelperImplementation.h"
#include "helper/src/RaplReader.h"
#include "helper/src/RateLimiter.h"

#include <nlohmann/json.hpp>

#include <QDir>
#include <QTemporaryDir>

#include <filesystem>

using namespace helpertest;

namespace {

std::string inDir(const QTemporaryDir& dir, const std::string& name)
{
    return dir.filePath(QString::fromStdString(name)).toStdString();
}

TEST(AuditLogTest, RecordHasTheSixKeysAndSecondPrecisionUtcTime)
{
    const auto record
        = nlohmann::json::parse(helper::AuditLog::makeRecord("send_sigstop", 42, "ollama", true, 1772373909));
    EXPECT_EQ(record,
        nlohmann::json({{"timestamp", "2026-03-01T14:05:09Z"}, {"action", "send_sigstop"}, {"targetPID", 42},
            {"targetProcessName", "ollama"}, {"callerBundleID", "com.quorvane.pro"}, {"success", true}}));
    const auto untargeted
        = nlohmann::json::parse(helper::AuditLog::makeRecord("purge_memory", std::nullopt, "", false, 0));
    EXPECT_EQ(untargeted["targetPID"], -1);
    EXPECT_EQ(untargeted["targetProcessName"], "");
    EXPECT_EQ(untargeted["timestamp"], "1970-01-01T00:00:00Z");
}

TEST(AuditLogTest, NameThatIsNotUtf8KeepsTheRecord)
{
    const std::string line = helper::AuditLog::makeRecord("send_sigcont", 7, "bad\xff\xfename", true, 0);
    const auto record = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(record.is_object());
    EXPECT_EQ(record["targetPID"], 7);
    EXPECT_EQ(record["targetProcessName"], "bad\uFFFD\uFFFDname");
}

TEST(AuditLogTest, CreatesFoldersThenAppendsWithoutTouchingEarlierLines)
{
    QTemporaryDir dir;
    const std::string path = inDir(dir, "var/log/quorvane/audit.log");
    helper::AuditLog log(path);
    log.log("suppress_spotlight", std::nullopt, "", true);
    ASSERT_EQ(readLines(path).size(), 1u);
    const std::string first = readFile(path);
    log.log("restore_spotlight", std::nullopt, "", false);
    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(readFile(path).substr(0, first.size()), first);
    EXPECT_EQ(nlohmann::json::parse(lines[1])["action"], "restore_spotlight");
}

TEST(AuditLogTest, SymlinkInPlaceOfTheLogIsNotFollowed)
{
    QTemporaryDir dir;
    const std::string victim = inDir(dir, "victim");
    std::ofstream(victim) << "precious\n";
    const std::string path = inDir(dir, "audit.log");
    std::filesystem::create_symlink(victim, path);
    helper::AuditLog(path).log("send_sigstop", 5, "x", true);
    EXPECT_EQ(readFile(victim), "precious\n");
}

TEST(RateLimiterTest, WindowDropsEntriesExactlySixtySecondsOld)
{
    double now = 0;
    helper::RateLimiter limiter([&] { return now; });
    for (int i = 0; i < 60; ++i) {
        now = i * 0.5;
        EXPECT_FALSE(limiter.isRateLimited());
    }
    now = 59.9;
    EXPECT_TRUE(limiter.isRateLimited());
    now = 60.0; // the first entry (t = 0) is now 60.0 s old and leaves the window
    EXPECT_FALSE(limiter.isRateLimited());
    EXPECT_TRUE(limiter.isRateLimited());
    now = 60.5; // t = 0.5 leaves too
    EXPECT_FALSE(limiter.isRateLimited());
}

TEST(TargetRefusalTest, OwnerAndKindOfTheTarget)
{
    platform::ProcessInfo mine;
    mine.uid = 1000;
    platform::ProcessInfo theirs;
    theirs.uid = 1001;
    platform::ProcessInfo kernel;
    kernel.kernelThread = true;
    const pid_t helperPid = 500;

    EXPECT_FALSE(helper::targetRefusal(4242, 1000, helperPid, mine));
    EXPECT_EQ(helper::targetRefusal(4242, 1000, helperPid, theirs),
        "Refusing to signal pid 4242: it belongs to another user.");
    EXPECT_FALSE(helper::targetRefusal(4242, 0, helperPid, theirs)); // root may signal anyone's process
    EXPECT_TRUE(helper::targetRefusal(4242, 0, helperPid, kernel));
    EXPECT_TRUE(helper::targetRefusal(helperPid, 0, helperPid, mine));
    for (const pid_t pid : {1, 0, -1, -4242})
        EXPECT_TRUE(helper::targetRefusal(pid, 0, helperPid, mine)) << pid;
    // A process that is gone is left to the signal call, which reports it missing.
    EXPECT_FALSE(helper::targetRefusal(4242, 1000, helperPid, std::nullopt));
}

class RaplReaderTest : public ::testing::Test
{
protected:
    void addDomain(
        const std::string& entry, const std::string& name, std::uint64_t energy, std::uint64_t range = 262143328850)
    {
        const std::string folder = inDir(m_dir, "class/powercap/" + entry);
        QDir().mkpath(QString::fromStdString(folder));
        std::ofstream(folder + "/name") << name << "\n";
        std::ofstream(folder + "/max_energy_range_uj") << range << "\n";
        setEnergy(entry, energy);
    }
    void setEnergy(const std::string& entry, std::uint64_t energy)
    {
        std::ofstream(inDir(m_dir, "class/powercap/" + entry + "/energy_uj")) << energy << "\n";
    }

    QTemporaryDir m_dir;
};

TEST_F(RaplReaderTest, PackagesCountOnceAndUncoreIsTheGpu)
{
    QDir().mkpath(m_dir.filePath("class/powercap/intel-rapl"));
    addDomain("intel-rapl:0", "package-0", 1000);
    addDomain("intel-rapl:0:0", "core", 10);
    addDomain("intel-rapl:0:1", "uncore", 20);
    addDomain("intel-rapl:1", "psys", 30);
    addDomain("intel-rapl-mmio:0", "package-0", 40);
    const auto domains = helper::RaplReader(m_dir.path().toStdString()).domains();
    ASSERT_EQ(domains.size(), 2u);
    EXPECT_TRUE(domains[0].folder.ends_with("intel-rapl:0"));
    EXPECT_FALSE(domains[0].gpu);
    EXPECT_TRUE(domains[1].folder.ends_with("intel-rapl:0:1"));
    EXPECT_TRUE(domains[1].gpu);
}

TEST_F(RaplReaderTest, CounterWrapAround)
{
    EXPECT_EQ(helper::RaplReader::energyDelta(100, 350, 1000), 250u);
    EXPECT_EQ(helper::RaplReader::energyDelta(900, 50, 1000), 150u);
    EXPECT_EQ(helper::RaplReader::energyDelta(900, 50, 0), 50u); // unknown range: count from zero
}

TEST_F(RaplReaderTest, SampleOverWindowGivesMilliwatts)
{
    addDomain("intel-rapl:0", "package-0", 262143000000);
    addDomain("intel-rapl:0:1", "uncore", 5000);
    helper::RaplReader reader(m_dir.path().toStdString());
    std::thread writer([&] {
        std::this_thread::sleep_for(100ms);
        // The package counter wraps during the window.
        setEnergy("intel-rapl:0", 500000 - (262143328850 - 262143000000));
        setEnergy("intel-rapl:0:1", 5000 + 100000);
    });
    const auto sample = reader.sample(500ms);
    writer.join();
    ASSERT_TRUE(std::holds_alternative<helper::RaplReader::Sample>(sample));
    const auto s = std::get<helper::RaplReader::Sample>(sample);
    // 500000 uJ in the package, 100000 of them in the graphics, over about 0.5 s.
    EXPECT_NEAR(double(s.cpuMilliwatts), 800.0, 40.0);
    EXPECT_NEAR(double(s.gpuMilliwatts), 200.0, 10.0);
    EXPECT_EQ(helper::RaplReader::format({800, 200}), "CPU Power: 800 mW\nGPU Power: 200 mW\n");
}

TEST_F(RaplReaderTest, NoCountersOrUnreadableCounterIsAnError)
{
    const auto none = helper::RaplReader(m_dir.path().toStdString()).sample(0ms);
    ASSERT_TRUE(std::holds_alternative<std::string>(none));
    EXPECT_NE(std::get<std::string>(none).find("No RAPL energy counters"), std::string::npos);

    addDomain("intel-rapl:0", "package-0", 1);
    std::ofstream(inDir(m_dir, "class/powercap/intel-rapl:0/energy_uj")) << "garbage\n";
    const auto bad = helper::RaplReader(m_dir.path().toStdString()).sample(0ms);
    ASSERT_TRUE(std::holds_alternative<std::string>(bad));
    EXPECT_NE(std::get<std::string>(bad).find("energy_uj"), std::string::npos);
}

} // namespace
