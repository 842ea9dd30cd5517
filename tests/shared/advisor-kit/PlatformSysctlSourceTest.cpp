#include "advisor-kit/PlatformSysctlSource.h"
#include "advisor-kit/MacCapabilityEngine.h"

#include "engines/MemoryEngine.h"
#include "engines/ThermalEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <sys/sysinfo.h>

namespace {

// A /proc and /sys pair holding only the files the text keys read.
class MachineTree
{
public:
    MachineTree(const QByteArray& deviceTreeModel, const QByteArray& dmiProduct, const QByteArray& cpuinfo)
    {
        if (!deviceTreeModel.isNull())
            write("sys/firmware/devicetree/base/model", deviceTreeModel + '\0');
        if (!dmiProduct.isNull())
            write("sys/class/dmi/id/product_name", dmiProduct + '\n');
        write("proc/cpuinfo", cpuinfo);
    }

    PlatformSysctlSource source() const
    {
        return PlatformSysctlSource((m_dir.path() + "/proc").toStdString(), (m_dir.path() + "/sys").toStdString());
    }

    ChipClass chip() const
    {
        return MacCapabilityEngine(std::make_shared<PlatformSysctlSource>(source())).detectChipClass();
    }

private:
    void write(const QString& relative, const QByteArray& content)
    {
        const QString path = m_dir.path() + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir m_dir;
};

const QByteArray armCpuinfo = "processor\t: 0\nBogoMIPS\t: 48.00\nCPU implementer\t: 0x61\n\n";

} // namespace

TEST(PlatformSysctlSourceTest, AppleSiliconIsNamedByItsDeviceTree)
{
    EXPECT_EQ(MachineTree("Apple MacBook Pro (14-inch, M2 Pro, 2023)", {}, armCpuinfo).chip(), ChipClass::m2Pro);
    EXPECT_EQ(MachineTree("Apple MacBook Air (13-inch, M2, 2022)", {}, armCpuinfo).chip(), ChipClass::m2Base);
    EXPECT_EQ(MachineTree("Apple MacBook Pro (14-inch, M1 Pro, 2021)", {}, armCpuinfo).chip(), ChipClass::m1Pro);
    EXPECT_EQ(MachineTree("Apple Mac mini (M4, 2024)", {}, armCpuinfo).chip(), ChipClass::m4Base);

    const MachineTree air("Apple MacBook Air (M2, 2022)", {}, armCpuinfo);
    EXPECT_EQ(air.source().string("machdep.cpu.brand_string"), "Apple M2");
    EXPECT_EQ(air.source().string("hw.model"), "Apple MacBook Air (M2, 2022)");
}

TEST(PlatformSysctlSourceTest, OtherMachinesEndAtTheFallbackClass)
{
    // An Intel iMac's DMI name holds "Mac13,2" and would otherwise read as an Ultra.
    const MachineTree intelMac({}, "iMac13,2", "processor\t: 0\nmodel name\t: Intel(R) Core(TM) i7-3770 CPU\n");
    EXPECT_FALSE(intelMac.source().string("hw.model"));
    EXPECT_FALSE(intelMac.source().string("machdep.cpu.brand_string"));
    EXPECT_EQ(intelMac.chip(), ChipClass::m1Base);
    // A phone SoC named "SM4350" must not read as an M4.
    EXPECT_EQ(
        MachineTree("Fairphone 4", {}, "processor\t: 0\nHardware\t: Qualcomm SM4350\n").chip(), ChipClass::m1Base);
    EXPECT_EQ(MachineTree({}, {}, "").chip(), ChipClass::m1Base);
}

TEST(PlatformSysctlSourceTest, ChipNameInModelText)
{
    using S = PlatformSysctlSource;
    EXPECT_EQ(S::chipNameInModel("Apple Mac Studio (M1 Ultra, 2022)"), "M1 Ultra");
    EXPECT_EQ(S::chipNameInModel("Apple MacBook Pro (16-inch, M1 Max, 2021)"), "M1 Max");
    EXPECT_EQ(S::chipNameInModel("Apple MacBook Pro (13-inch, M1, 2020)"), "M1");
    EXPECT_EQ(S::chipNameInModel("Apple MacBook Air (M3 Professional)"), "M3");
    EXPECT_FALSE(S::chipNameInModel("Apple SM4350 MX2 (M, 2020)"));
    EXPECT_FALSE(S::chipNameInModel(""));
}

TEST(PlatformSysctlSourceTest, ProfileOfThisMachine)
{
    MemoryEngine memory;
    const ThermalEngine thermal;
    const auto profile = MacCapabilityEngine().currentProfile(memory, thermal);

    struct sysinfo info
    {
    };
    ASSERT_EQ(sysinfo(&info), 0);
    const double totalGB = static_cast<double>(info.totalram) * info.mem_unit / (1024.0 * 1024 * 1024);
    EXPECT_NEAR(profile.totalMemoryGB, totalGB, 0.01);
    EXPECT_EQ(profile.availableMemoryGB, profile.typicalFreeHeadroomGB);
    EXPECT_GE(profile.cpuCores, 1);
    EXPECT_GT(profile.storageFreeSSD, 0);
    EXPECT_EQ(profile.memoryBandwidthGBs, memoryBandwidthGBs(profile.chipClass));
}
