#include "platform/power/RaplReader.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

std::string inDir(const QTemporaryDir& dir, const std::string& name)
{
    return dir.filePath(QString::fromStdString(name)).toStdString();
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
    const auto domains = platform::RaplReader(m_dir.path().toStdString()).domains();
    ASSERT_EQ(domains.size(), 2u);
    EXPECT_TRUE(domains[0].folder.ends_with("intel-rapl:0"));
    EXPECT_FALSE(domains[0].gpu);
    EXPECT_TRUE(domains[1].folder.ends_with("intel-rapl:0:1"));
    EXPECT_TRUE(domains[1].gpu);
}

TEST_F(RaplReaderTest, CounterWrapAround)
{
    EXPECT_EQ(platform::RaplReader::energyDelta(100, 350, 1000), 250u);
    EXPECT_EQ(platform::RaplReader::energyDelta(900, 50, 1000), 150u);
    EXPECT_EQ(platform::RaplReader::energyDelta(900, 50, 0), 50u); // unknown range: count from zero
}

// Each counter is a FIFO that hands the reader its next value, so the first reading sees the values
// before the window and the second those after it, however the machine schedules the threads; the
// figures are checked against the window the call could have taken.
TEST_F(RaplReaderTest, SampleOverWindowGivesMilliwatts)
{
    const std::vector<std::string> entries = {"intel-rapl:0", "intel-rapl:0:1"}; // the order they are read in
    addDomain(entries[0], "package-0", 0);
    addDomain(entries[1], "uncore", 0);
    for (const auto& entry : entries) {
        const std::string counter = inDir(m_dir, "class/powercap/" + entry + "/energy_uj");
        ASSERT_EQ(::unlink(counter.c_str()), 0);
        ASSERT_EQ(::mkfifo(counter.c_str(), 0600), 0);
    }
    // The package counter wraps during the window.
    const std::vector<std::vector<std::uint64_t>> readings
        = {{262143000000, 5000}, {500000 - (262143328850 - 262143000000), 5000 + 100000}};
    std::thread writer([&] {
        for (const auto& values : readings) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const std::string counter = inDir(m_dir, "class/powercap/" + entries[i] + "/energy_uj");
                // Opens once the reader has the FIFO open; gives up if it never comes.
                int fd = -1;
                const auto deadline = std::chrono::steady_clock::now() + 20s;
                while ((fd = ::open(counter.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0
                    && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(1ms);
                if (fd < 0)
                    return;
                const std::string text = std::to_string(values[i]) + "\n";
                const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
                ::close(fd);
                if (!written)
                    return;
            }
        }
    });
    platform::RaplReader reader(m_dir.path().toStdString());
    const auto began = std::chrono::steady_clock::now();
    const auto sample = reader.sample(500ms);
    const double most = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    writer.join();
    ASSERT_TRUE(std::holds_alternative<platform::RaplReader::Sample>(sample));
    const auto s = std::get<platform::RaplReader::Sample>(sample);
    // 500000 uJ in the package, 100000 of them in the graphics, over at least 0.5 s and at most `most`.
    EXPECT_LE(double(s.cpuMilliwatts), 800.0);
    EXPECT_GE(double(s.cpuMilliwatts), 400.0 / most - 1.0);
    EXPECT_LE(double(s.gpuMilliwatts), 200.0);
    EXPECT_GE(double(s.gpuMilliwatts), 100.0 / most - 1.0);
    EXPECT_EQ(platform::RaplReader::format({800, 200}), "CPU Power: 800 mW\nGPU Power: 200 mW\n");
}

TEST_F(RaplReaderTest, NoCountersOrUnreadableCounterIsAnError)
{
    const auto none = platform::RaplReader(m_dir.path().toStdString()).sample(0ms);
    ASSERT_TRUE(std::holds_alternative<std::string>(none));
    EXPECT_NE(std::get<std::string>(none).find("No RAPL energy counters"), std::string::npos);

    addDomain("intel-rapl:0", "package-0", 1);
    std::ofstream(inDir(m_dir, "class/powercap/intel-rapl:0/energy_uj")) << "garbage\n";
    const auto bad = platform::RaplReader(m_dir.path().toStdString()).sample(0ms);
    ASSERT_TRUE(std::holds_alternative<std::string>(bad));
    EXPECT_NE(std::get<std::string>(bad).find("energy_uj"), std::string::npos);
}

} // namespace

TEST(RaplReaderBetweenTest, PowerBetweenTwoReadingsOfTheSameCounters)
{
    using Reader = platform::RaplReader;
    const std::vector<Reader::Domain> domains {{"/p/intel-rapl:0", false, 1000000}, {"/p/intel-rapl:0:1", true, 0}};
    const auto start = std::chrono::steady_clock::time_point {} + 10s;
    const Reader::Reading before {domains, {990000, 100}, start};
    // Two seconds later; the package counter wrapped at its range.
    const Reader::Reading after {domains, {50000, 20100}, start + 2s};
    const auto power = Reader::between(before, after);
    ASSERT_TRUE(power);
    EXPECT_EQ(power->cpuMilliwatts, 20u); // (60000 - 20000) uJ over 2 s
    EXPECT_EQ(power->gpuMilliwatts, 10u);

    EXPECT_FALSE(Reader::between(before, {{domains[0]}, {50000}, start + 2s})); // a counter went away
    EXPECT_FALSE(Reader::between(before, before)); // no time passed
}
