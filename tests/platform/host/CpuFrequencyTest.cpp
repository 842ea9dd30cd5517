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

    // No cpufreq, as in most virtual machines: no figure.
    const std::string vm = std::string(QV_TEST_DATA_DIR) + "/machines/vm";
    EXPECT_FALSE(platform::CpuFrequency(vm + "/proc", vm + "/sys").averageGHz());
}
