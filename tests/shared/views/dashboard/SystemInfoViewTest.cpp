#include "views/dashboard/SystemInfoView.h"

#include "shared/engines/DashboardTestSupport.h"
#include "support/doubles/ui/RecordingDesktop.h"

#include "core/Units.h"
#include "engines/MachineFactsModel.h"
#include "support/doubles/ui/FakeClock.h"
#include "ui/CopyButton.h"
#include "views/advisor/AdvisorTexts.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

platform::MachineFacts laptop()
{
    platform::MachineFacts f;
    f.modelIdentifier = "Dell Inc. XPS 13 9320";
    f.cpuBrand = "12th Gen Intel(R) Core(TM) i7-1260P";
    f.logicalCpus = 2; // fewer than four: the counts stay real, never negative
    f.performanceCpus = 2;
    f.machineId = "4f1c0d2e9a8b4c7d8e6f5a4b3c2d1e0f";
    f.memoryBytes = 16ull << 30;
    return f;
}

// A clipboard that keeps nothing, as when no clipboard owner takes the text.
class RefusingDesktop : public RecordingDesktop
{
public:
    void copyText(const QString&) override { ++copies; }
    QString clipboardText() const override { return {}; }
};

} // namespace

TEST(SystemInfoViewTest, RowsFromTheFactsAndLiveFigures)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    RecordingDesktop desktop;
    FakeClock clock;
    MachineFactsModel facts(laptop());
    SystemInfoView view(*model, facts, desktop, clock);
    EXPECT_EQ(view.headerName(), "Dell Inc. XPS 13 9320");
    EXPECT_EQ(view.headerIdentifier(), ""); // the badge would repeat the title and squeeze it
    EXPECT_EQ(view.rowValue("Graphics Driver"), "—");
    EXPECT_EQ(view.rowValue("Memory Bandwidth"), "—");
    EXPECT_EQ(view.rowValue("Performance Cores"), "2 Cores");
    EXPECT_EQ(view.rowValue("Efficiency Cores"), "—"); // one core kind: no figure, as in the popover
    platform::MachineFacts hybrid = laptop();
    hybrid.logicalCpus = 16;
    hybrid.performanceCpus = 8;
    hybrid.efficiencyCpus = 8;
    MachineFactsModel hybridFacts(hybrid);
    EXPECT_EQ(SystemInfoView(*model, hybridFacts, desktop, clock).rowValue("Efficiency Cores"), "8 Cores");
    EXPECT_EQ(view.rowValue("Neural Coprocessor"), "Intel CPU (No Apple Neural Engine)");
    EXPECT_EQ(view.rowValue("Physical Memory"), "16 GB System Memory");
    EXPECT_EQ(view.rowValue("VRAM Allocation Limit"), "—"); // not "13.5 GB Max VRAM"
    EXPECT_EQ(view.rowValue("Active Fan Configuration"), "—");
    EXPECT_EQ(view.rowValue("Thermal Throttling"), "—");

    DashboardSample s;
    s.memory.totalGB = 16.0;
    s.chipTemperature = 55.0;
    s.fanRPMs = {0.0};
    model->publishSample(s);
    EXPECT_EQ(view.rowValue("VRAM Allocation Limit"), "—"); // never a share of system memory
    EXPECT_EQ(view.rowValue("SoC Core Temp"), "55.0°C");
    EXPECT_EQ(view.rowValue("Active Fan Configuration"), "0 RPM (Silent Mode)");
    EXPECT_EQ(view.rowValue("Thermal Throttling"), "—"); // a cool chip is no throttle count

    s.throttleEvents = 0;
    model->publishSample(s);
    EXPECT_EQ(view.rowValue("Thermal Throttling"), "None since boot");
    s.throttleEvents = 3;
    model->publishSample(s);
    EXPECT_EQ(view.rowValue("Thermal Throttling"), "3 events since boot");
}

TEST(SystemInfoViewTest, MemoryIsTheAdvisorsWholeNumberOfGigabytes)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    RecordingDesktop desktop;
    FakeClock clock;
    platform::MachineFacts machineFacts = laptop();
    machineFacts.memoryBytes = 25340307046ull; // 23.6 GB, which rounding would make 24
    MachineFactsModel facts(machineFacts);
    SystemInfoView view(*model, facts, desktop, clock);
    MacCapabilityProfile profile;
    profile.totalMemoryGB = static_cast<double>(machineFacts.memoryBytes) / kBytesPerGB;
    EXPECT_TRUE(AdvisorTexts::contextHeaderLine(profile, false).startsWith("23GB "));
    EXPECT_EQ(view.rowValue("Physical Memory"), "23 GB System Memory");
    EXPECT_TRUE(view.specReport().contains("\nPhysical Memory: 23 GB\n")) << view.specReport().toStdString();
}

TEST(SystemInfoViewTest, IdentifiersStableAcrossBuildsOfThePage)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    RecordingDesktop desktop;
    FakeClock clock;
    MachineFactsModel facts(laptop());
    SystemInfoView first(*model, facts, desktop, clock);
    const QString host = first.rowValue("Host UUID");
    const QString serial = first.rowValue("System Serial ID");
    model->publishSample({});
    EXPECT_EQ(first.rowValue("Host UUID"), host);
    SystemInfoView second(*model, facts, desktop, clock);
    EXPECT_EQ(second.rowValue("Host UUID"), host);
    EXPECT_EQ(second.rowValue("System Serial ID"), serial);
    EXPECT_EQ(host.size(), 12 + 3);
}

TEST(SystemInfoViewTest, CopiedOnlyWhenTheClipboardHoldsTheReport)
{
    FakeMachine machine;
    auto model = makeModel(machine);
    FakeClock clock;
    RecordingDesktop desktop;
    MachineFactsModel facts(laptop());
    SystemInfoView view(*model, facts, desktop, clock);
    view.copyButton()->click();
    EXPECT_EQ(desktop.clipboardText(), view.specReport());
    EXPECT_EQ(desktop.clipboardText().split('\n').size(), 12);
    EXPECT_TRUE(view.copiedReport());
    clock.advance(CopyButton::kResetMs);
    EXPECT_FALSE(view.copiedReport());

    RefusingDesktop refusing;
    SystemInfoView other(*model, facts, refusing, clock);
    other.copyButton()->click();
    EXPECT_EQ(refusing.copies, 1);
    EXPECT_FALSE(other.copiedReport());
    EXPECT_EQ(other.copyButton()->labelText(), "Copy Spec Report");
}

TEST(SystemInfoViewTest, VirtualMachineShowsTheDashWhereItHasNoSource)
{
    const std::string vm = std::string(QV_TEST_DATA_DIR) + "/machines/vm";
    platform::MachineFacts facts = platform::MachineReader(vm + "/proc", vm + "/sys", vm + "/etc").read();
    FakeMachine machine;
    auto model = makeModel(machine);
    RecordingDesktop desktop;
    FakeClock clock;
    MachineFactsModel read(facts);
    SystemInfoView view(*model, read, desktop, clock);
    EXPECT_EQ(view.headerName(), "vm");
    EXPECT_EQ(view.headerIdentifier(), "—");
    EXPECT_EQ(view.rowValue("System Serial ID"), "—"); // not the serial every such machine would share
    EXPECT_EQ(view.rowValue("Host UUID"), "—"); // no machine-id: not a random value
    EXPECT_EQ(view.rowValue("VRAM Allocation Limit"), "—");

    facts.gpuMemoryBytes = 8ull << 30;
    MachineFactsModel withGpuFacts(facts);
    SystemInfoView withGpu(*model, withGpuFacts, desktop, clock);
    EXPECT_EQ(withGpu.rowValue("VRAM Allocation Limit"), "8.0 GB Max VRAM");

    // Reading the machine: no report can be copied before its facts are in, and the rows follow them.
    MachineFactsModel reading(platform::MachineReader(vm + "/proc", vm + "/sys", vm + "/etc"));
    SystemInfoView waiting(*model, reading, desktop, clock);
    EXPECT_FALSE(waiting.copyButton()->isEnabled());
    EXPECT_EQ(waiting.headerName(), "—");
    EXPECT_TRUE(QTest::qWaitFor([&] { return waiting.copyButton()->isEnabled(); }, 5000));
    EXPECT_EQ(waiting.headerName(), "vm");
}
