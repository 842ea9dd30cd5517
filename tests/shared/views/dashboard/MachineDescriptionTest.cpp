#include "views/dashboard/MachineDescription.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace md = MachineDescription;

TEST(MachineDescriptionTest, MarketingNames)
{
    EXPECT_EQ(md::marketingModelName("MacBookPro18,3"), "MacBook Pro"); // never "Mac Pro"
    EXPECT_EQ(md::marketingModelName("MacBookAir10,1"), "MacBook Air");
    EXPECT_EQ(md::marketingModelName("Macmini9,1"), "Mac mini");
    EXPECT_EQ(md::marketingModelName("MacStudio1,1"), "Mac Studio");
    EXPECT_EQ(md::marketingModelName("MacPro7,1"), "Mac Pro");
    EXPECT_EQ(md::marketingModelName("iMac21,1"), "iMac");
    EXPECT_EQ(md::marketingModelName("Mac14,2"), "Apple Mac");
    EXPECT_EQ(md::marketingModelName("Dell Inc. XPS 13 9320"), "Dell Inc. XPS 13 9320"); // not an "Apple Mac"
    EXPECT_EQ(md::marketingModelName(md::unknown), "Unknown Machine");
}

TEST(MachineDescriptionTest, NeuralEngineTable)
{
    EXPECT_EQ(md::neuralEngineDescription("Apple M1 Ultra"), "32-Core Apple Neural Engine (Up to 31.6 TOPS)");
    EXPECT_EQ(md::neuralEngineDescription("Apple M3 Max"), "16-Core Apple Neural Engine (Up to 15.8 TOPS)");
    EXPECT_EQ(md::neuralEngineDescription("Apple M2 Pro"), "16-Core Apple Neural Engine (Up to 15.8 TOPS)");
    EXPECT_EQ(md::neuralEngineDescription("Apple M2"), "16-Core Apple Neural Engine");
    EXPECT_EQ(md::neuralEngineDescription("12th Gen Intel(R) Core(TM) i7-1260P"), "Intel CPU (No Apple Neural Engine)");
    EXPECT_EQ(md::neuralEngineDescription("AMD Ryzen 7 5800X 8-Core Processor"), "AMD CPU (No Apple Neural Engine)");
    EXPECT_EQ(md::neuralEngineDescription("Radxa ROCK 5B"), "Radxa CPU (No Apple Neural Engine)");
    EXPECT_EQ(md::neuralEngineDescription("Unknown Processor"), "Unknown");
}

TEST(MachineDescriptionTest, BandwidthTable)
{
    EXPECT_EQ(md::memoryBandwidthDescription("Apple M1 Ultra"), "68.25 GB/s"); // Ultra has no column
    EXPECT_EQ(md::memoryBandwidthDescription("Apple M2 Ultra"), "100 GB/s");
    EXPECT_EQ(md::memoryBandwidthDescription("Apple M3 Max Pro"), "300 - 400 GB/s"); // Max beats Pro
    EXPECT_EQ(md::memoryBandwidthDescription("Apple M3 Pro"), "150 GB/s");
    EXPECT_EQ(md::memoryBandwidthDescription("Apple M4 Pro"), "273 GB/s");
    EXPECT_EQ(md::memoryBandwidthDescription("Apple M4 Max"), "410 GB/s");
    // Nothing measures any other processor's bandwidth: the dash, as for every missing figure.
    EXPECT_EQ(md::memoryBandwidthDescription("AMD Ryzen 7 5800X 8-Core Processor"), "—");
    EXPECT_EQ(md::memoryBandwidthDescription("Unknown Processor"), "—");
}

TEST(MachineDescriptionTest, FactsWithoutSourcesAreUnknownNotInvented)
{
    platform::MachineFacts facts;
    facts.cpuBrand = "  \n";
    EXPECT_EQ(md::cpuBrandString(facts), "Unknown Processor"); // not "Apple M3 Pro"
    facts.cpuBrand = " Apple M2 Pro\n";
    EXPECT_EQ(md::cpuBrandString(facts), "Apple M2 Pro");
    EXPECT_EQ(md::osVersionString(facts), "Version Unknown (Build Unknown)");
    facts.osVersion = "12";
    facts.kernelRelease = "6.1.0-18-amd64";
    EXPECT_EQ(md::osVersionString(facts), "Version 12 (Build 6.1.0-18-amd64)");
    EXPECT_EQ(md::platformType(facts), "Linux");
    facts.architecture = "aarch64";
    EXPECT_EQ(md::platformType(facts), "Linux aarch64");
}

TEST(MachineDescriptionTest, IdentifiersAreStable)
{
    // The machine's own serial, never one derived from the model that every such machine would share.
    platform::MachineFacts facts;
    facts.modelIdentifier = "MacBookPro18,3";
    EXPECT_EQ(md::serialIdentifier(facts), "—");
    facts.serialNumber = " C02XL0GHJGH5\n";
    EXPECT_EQ(md::serialIdentifier(facts), "C02XL0GHJGH5");

    const QString host = md::hostIdentifier("4f1c0d2e9a8b4c7d8e6f5a4b3c2d1e0f");
    EXPECT_EQ(host.size(), 12);
    EXPECT_EQ(host, md::hostIdentifier("4f1c0d2e9a8b4c7d8e6f5a4b3c2d1e0f\n"));
    EXPECT_NE(host, md::hostIdentifier("00000000000000000000000000000000"));
    // Without a machine id there is nothing to derive it from: never a random value.
    EXPECT_EQ(md::hostIdentifier(""), "—");
    EXPECT_EQ(md::hostIdentifier(" \n"), "—");
}

TEST(MachineDescriptionTest, ReportHasTwelveLinesAndNoFinalLineFeed)
{
    platform::MachineFacts facts;
    facts.modelIdentifier = "MacBookPro18,3";
    facts.cpuBrand = "Apple M1 Pro";
    facts.osVersion = "24.04";
    facts.kernelRelease = "6.8.0-asahi";
    facts.serialNumber = "C02XL0GHJGH5";
    md::ReportFigures figures;
    figures.logicalCpus = 10;
    figures.physicalMemoryGB = 16.0;
    const QString report = md::specReport(facts, figures);
    const QStringList lines = report.split('\n');
    ASSERT_EQ(lines.size(), 12);
    EXPECT_FALSE(report.endsWith('\n'));
    EXPECT_EQ(lines[0], "=== QUORVANE MACHINE DIAGNOSTIC REPORT ===");
    EXPECT_EQ(lines[1], "Model Name: MacBook Pro");
    EXPECT_EQ(lines[2], "Model Identifier: MacBookPro18,3");
    EXPECT_EQ(lines[3], "Processor: Apple M1 Pro");
    EXPECT_EQ(lines[4], "OS Version: Version 24.04 (Build 6.8.0-asahi)");
    EXPECT_EQ(lines[5], "Total Cores: 10 Cores");
    EXPECT_EQ(lines[6], "GPU Cores: —");
    EXPECT_EQ(lines[7], "Neural Engine: 16-Core Apple Neural Engine (Up to 15.8 TOPS)");
    EXPECT_EQ(lines[8], "Physical Memory: 16 GB");
    EXPECT_EQ(lines[9], "Memory Bandwidth: 200 GB/s");
    EXPECT_EQ(lines[10], "Serial ID: C02XL0GHJGH5");
    EXPECT_EQ(lines[11], QString(44, '='));
}

TEST(MachineDescriptionTest, MachineWithoutFirmwareDataIsNamedAndReportedWithoutInventions)
{
    platform::MachineFacts facts;
    EXPECT_EQ(md::machineName(facts), "Unknown Machine");
    facts.cpuBrand = "AMD EPYC";
    EXPECT_EQ(md::machineName(facts), "AMD EPYC");
    facts.hostName = "vm";
    EXPECT_EQ(md::machineName(facts), "vm"); // not "Unknown Machine" or "…"
    EXPECT_EQ(md::modelIdentifier(facts), "—");
    facts.modelIdentifier = "MacBookPro18,3";
    EXPECT_EQ(md::machineName(facts), "MacBook Pro");

    // Counts and sizes the page shows as "—" are not reported as 0.
    const QStringList lines = md::specReport(platform::MachineFacts {}, {}).split('\n');
    EXPECT_EQ(lines.value(2), "Model Identifier: —");
    EXPECT_EQ(lines.value(5), "Total Cores: —");
    EXPECT_EQ(lines.value(8), "Physical Memory: —");
    EXPECT_EQ(lines.value(10), "Serial ID: —");
}
