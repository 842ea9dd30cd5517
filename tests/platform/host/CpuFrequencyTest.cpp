#include "platform/host/CpuFrequency.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(CpuFrequencyTest, AverageOfTheOnlineCpusThatReportAClock)
{
    QTemporaryDir dir;
    const std::filesystem::path sys = dir.path().toStdString() + "/sys";
    const auto write = [&](const std::string& relative, const std::string& text) {
        std::filesystem::create_directories((sys / relative).parent_path());
        std::ofstream(sys / relative) << text;
    };
    write("devices/system/cpu/online", "0-3\n");
    write("devices/system/cpu/cpu0/cpufreq/scaling_cur_freq", "2000000\n");
    write("devices/system/cpu/cpu1/cpufreq/scaling_cur_freq", "3000000\n");
    write("devices/system/cpu/cpu3/cpufreq/scaling_cur_freq", "0\n"); // no reading, not a stopped CPU
    write("devices/system/cpu/cpu4/cpufreq/scaling_cur_freq", "9000000\n"); // offline
    const auto ghz = platform::CpuFrequency(dir.path().toStdString() + "/proc", sys.string()).averageGHz();
    ASSERT_TRUE(ghz);
    EXPECT_DOUBLE_EQ(*ghz, 2.5);

    // No cpufreq, as in most virtual machines: the clock /proc/cpuinfo gives.
    const std::string vm = std::string(QV_TEST_DATA_DIR) + "/machines/vm";
    const auto vmGHz = platform::CpuFrequency(vm + "/proc", vm + "/sys").averageGHz();
    ASSERT_TRUE(vmGHz);
    EXPECT_DOUBLE_EQ(*vmGHz, 2.096023);
    // Neither source: no figure.
    const std::string arm = std::string(QV_TEST_DATA_DIR) + "/machines/arm";
    EXPECT_FALSE(platform::CpuFrequency(arm + "/proc", arm + "/sys").averageGHz());
}

TEST(CpuFrequencyTest, CpuinfoLinesThatGiveNoClockAreLeftOut)
{
    using platform::CpuFrequency;
    EXPECT_DOUBLE_EQ(*CpuFrequency::cpuinfoAverageGHz("processor\t: 0\ncpu MHz\t\t: 1000.5\n\n"
                                                      "processor\t: 1\ncpu MHz\t\t: 3000.5\n"),
        2.0005);
    // A zero, a word, a number with trailing text, and a key that only begins like ours.
    EXPECT_DOUBLE_EQ(*CpuFrequency::cpuinfoAverageGHz("cpu MHz : 0\ncpu MHz : unknown\ncpu MHz : 12x\n"
                                                      "cpu MHz dynamic : 9000\ncpu MHz : 1500\n"),
        1.5);
    EXPECT_FALSE(CpuFrequency::cpuinfoAverageGHz("cpu MHz : nan\ncpu MHz : -1\ncpu MHz :\nBogoMIPS : 48.00\n"));
}
