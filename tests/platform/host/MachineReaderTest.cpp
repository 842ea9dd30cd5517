#include "platform/host/MachineReader.h"

#include "support/TurkishLocale.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using platform::MachineFacts;
using platform::MachineReader;

namespace {

MachineFacts readMachine(const std::string& name)
{
    const std::string root = std::string(QV_TEST_DATA_DIR) + "/machines/" + name;
    return MachineReader(root + "/proc", root + "/sys", root + "/etc").read();
}

} // namespace

TEST(MachineReaderTest, IntelHybridLaptop)
{
    const MachineFacts f = readMachine("hybrid-intel");
    EXPECT_EQ(f.modelIdentifier, "Dell Inc. XPS 13 9320");
    EXPECT_EQ(f.cpuBrand, "12th Gen Intel(R) Core(TM) i7-1260P");
    // cpu7 is offline: 15 online, of which 0-6 are performance and 8-15 efficiency CPUs.
    EXPECT_EQ(f.logicalCpus, 15);
    EXPECT_EQ(f.performanceCpus, 7);
    EXPECT_EQ(f.efficiencyCpus, 8);
    EXPECT_EQ(f.memoryBytes, 32543820ull * 1024);
    EXPECT_EQ(f.osVersion, "12");
    EXPECT_EQ(f.kernelRelease, "6.1.0-18-amd64");
    EXPECT_EQ(f.kernelName, "Linux");
    EXPECT_EQ(f.architecture, "x86_64");
    EXPECT_EQ(f.machineId, "4f1c0d2e9a8b4c7d8e6f5a4b3c2d1e0f");
}

TEST(MachineReaderTest, AmdDesktopWithoutSplitOrEtcOsRelease)
{
    const MachineFacts f = readMachine("plain");
    EXPECT_EQ(f.modelIdentifier, "Micro-Star International Co., Ltd. MS-7C02"); // padded DMI text trimmed
    EXPECT_EQ(f.cpuBrand, "AMD Ryzen 7 5800X 8-Core Processor");
    EXPECT_EQ(f.logicalCpus, 8);
    EXPECT_EQ(f.performanceCpus, 8); // one core kind: all performance, none efficiency
    EXPECT_EQ(f.efficiencyCpus, 0);
    EXPECT_EQ(f.osVersion, "rolling"); // BUILD_ID of the vendor copy, quotes and comments handled
    EXPECT_EQ(f.kernelRelease, "6.12.4-arch1-1");
    EXPECT_TRUE(f.machineId.empty());
}

TEST(MachineReaderTest, ArmBoardNamedByItsDeviceTree)
{
    const MachineFacts f = readMachine("arm");
    EXPECT_EQ(f.modelIdentifier, "Radxa ROCK 5B"); // NUL-terminated, DMI ignored
    EXPECT_EQ(f.cpuBrand, "Radxa ROCK 5B"); // no "model name" line on ARM
    EXPECT_EQ(f.performanceCpus, 4); // the CPUs of the highest capacity
    EXPECT_EQ(f.efficiencyCpus, 4);
    EXPECT_EQ(f.osVersion, "24.04");
    EXPECT_EQ(f.architecture, "aarch64");
    EXPECT_TRUE(f.machineId.empty()); // a blank machine-id file counts as none
}

TEST(MachineReaderTest, VirtualMachineWithoutFirmwareDataAndGpuMemory)
{
    const MachineFacts vm = readMachine("vm");
    EXPECT_TRUE(vm.modelIdentifier.empty()); // no DMI in this virtual machine
    EXPECT_EQ(vm.hostName, "vm");
    EXPECT_EQ(vm.cpuBrand, "AMD EPYC");
    EXPECT_TRUE(vm.machineId.empty());
    EXPECT_EQ(vm.gpuMemoryBytes, 0u);

    // The largest card's own memory; connectors and cards whose driver gives none are passed over.
    QTemporaryDir dir;
    const std::filesystem::path drm = dir.path().toStdString() + "/sys/class/drm";
    for (const char* folder : {"card0/device", "card1/device", "card1-DP-1/device"})
        std::filesystem::create_directories(drm / folder);
    std::ofstream(drm / "card1/device/mem_info_vram_total") << "8573157376\n";
    std::ofstream(drm / "card1-DP-1/device/mem_info_vram_total") << "99999999999\n";
    // Drivers by card number, each once; a connector's is not a card's.
    std::filesystem::create_directory_symlink("/sys/bus/pci/drivers/nouveau", drm / "card1/device/driver");
    std::filesystem::create_directory_symlink("/sys/bus/pci/drivers/i915", drm / "card0/device/driver");
    std::filesystem::create_directory_symlink("/sys/bus/pci/drivers/xe", drm / "card1-DP-1/device/driver");
    std::filesystem::create_directories(drm / "card2/device");
    std::filesystem::create_directory_symlink("/sys/bus/pci/drivers/i915", drm / "card2/device/driver");
    const std::string root = dir.path().toStdString();
    const MachineFacts withCards = MachineReader(root + "/proc", root + "/sys", root + "/etc").read();
    EXPECT_EQ(withCards.gpuMemoryBytes, 8573157376u);
    EXPECT_EQ(withCards.gpuDriver, "i915, nouveau");
    EXPECT_TRUE(vm.gpuDriver.empty());
}

TEST(MachineReaderTest, SerialIsTheFirmwaresOwnOrNone)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::filesystem::path dmi = root + "/sys/class/dmi/id";
    const std::filesystem::path tree = root + "/sys/firmware/devicetree/base";
    std::filesystem::create_directories(dmi);
    std::filesystem::create_directories(tree);
    const MachineReader reader(root + "/proc", root + "/sys", root + "/etc");
    EXPECT_EQ(reader.serialNumber(), ""); // unreadable or absent: nothing, never a made-up one

    std::ofstream(tree / "serial-number") << "a1b2c3d4e5f6" << '\0'; // device tree strings end in NUL
    EXPECT_EQ(reader.serialNumber(), "a1b2c3d4e5f6");
    std::ofstream(dmi / "product_serial") << "  CN0X1234NONE  \n";
    EXPECT_EQ(reader.serialNumber(), "CN0X1234NONE");
    // Placeholders fall through to the next source.
    std::ofstream(dmi / "product_serial") << "To Be Filled By O.E.M.\n";
    EXPECT_EQ(reader.serialNumber(), "a1b2c3d4e5f6");
    for (const char* stock : {"System Serial Number", "Default string", "0000000000", "FFFFFFFF", " ", "N/A"})
        EXPECT_TRUE(MachineReader::isPlaceholderSerial(stock)) << stock;
    for (const char* real : {"5CD1234567", "PF2ABCDE", "C02XL0GHJGH5", "A0123456789"})
        EXPECT_FALSE(MachineReader::isPlaceholderSerial(real)) << real;
}

TEST(MachineReaderTest, PlaceholderSerialsInCapitalsAreKnownInATurkishLocale)
{
    TurkishLocale turkish;
    if (!turkish.active())
        GTEST_SKIP() << turkish.whyNot();
    for (const char* stock :
        {"SYSTEM SERIAL NUMBER", "DEFAULT STRING", "NOT SPECIFIED", "NOT APPLICABLE", "TO BE FILLED BY O.E.M."})
        EXPECT_TRUE(MachineReader::isPlaceholderSerial(stock)) << stock;
}

TEST(MachineReaderTest, EmptyMachineGivesEmptyFacts)
{
    const MachineFacts f = MachineReader("/nonexistent/proc", "/nonexistent/sys", "/nonexistent/etc").read();
    EXPECT_TRUE(f.modelIdentifier.empty());
    EXPECT_TRUE(f.cpuBrand.empty());
    EXPECT_EQ(f.logicalCpus, 0);
    EXPECT_EQ(f.memoryBytes, 0u);
    EXPECT_TRUE(f.osVersion.empty());
    EXPECT_TRUE(f.kernelRelease.empty());
}

TEST(MachineReaderTest, OsReleaseLines)
{
    const auto fields = MachineReader::parseOsRelease("# comment\nA=\"x y\"\nB='z'\n=bad\nnoequals\nC=plain\nD=\"\n");
    EXPECT_EQ(fields.at("A"), "x y");
    EXPECT_EQ(fields.at("B"), "z");
    EXPECT_EQ(fields.at("C"), "plain");
    EXPECT_EQ(fields.at("D"), "\""); // an unbalanced quote is kept as written
    EXPECT_EQ(fields.count(""), 0u);
}

TEST(MachineReaderTest, RealMachineAnswersWhereItHasTheSource)
{
    const MachineFacts f = MachineReader().read();
    EXPECT_GT(f.logicalCpus, 0);
    EXPECT_GT(f.memoryBytes, 0u);
    EXPECT_FALSE(f.kernelRelease.empty());
    EXPECT_FALSE(f.architecture.empty());
    EXPECT_EQ(f.performanceCpus + f.efficiencyCpus, f.logicalCpus);
}
