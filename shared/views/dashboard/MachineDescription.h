#pragma once

#include "platform/host/MachineReader.h"

#include <QString>

#include <optional>

// Texts that describe the machine, derived from what MachineReader read. The chip tables answer for
// Apple silicon (Apple hardware running Linux); elsewhere a description the machine does not give is
// "Unknown", an identifier or figure it does not give "—".
namespace MachineDescription {

inline const QString unknown = QStringLiteral("Unknown");

// The model identifier, or "—" without one.
QString modelIdentifier(const platform::MachineFacts& facts);
QString marketingModelName(const QString& modelIdentifier);
// The marketing name where the machine has a model identifier; else its host name, else its processor.
QString machineName(const platform::MachineFacts& facts);
// The trimmed brand text, or "Unknown Processor".
QString cpuBrandString(const platform::MachineFacts& facts);
// "Version <os version> (Build <kernel release>)".
QString osVersionString(const platform::MachineFacts& facts);
QString neuralEngineDescription(const QString& cpuBrand);
// The Apple chips' table; "—" for any other processor, whose bandwidth nothing here measures.
QString memoryBandwidthDescription(const QString& cpuBrand);
// "<kernel> <architecture>", e.g. "Linux x86_64".
QString platformType(const platform::MachineFacts& facts);

// The machine's own serial number as the firmware gives it; "—" where it is unreadable (DMI keeps it
// for root) or a placeholder.
QString serialIdentifier(const platform::MachineFacts& facts);
// 12 hex characters of a SHA-256 over a fixed salt and the machine id; "—" without a machine id.
QString hostIdentifier(const QString& machineId);

// The twelve-line report the copy button puts on the clipboard (no line feed after the last line).
struct ReportFigures
{
    int logicalCpus = 0; // 0: not known
    std::optional<int> gpuCores;
    double physicalMemoryGB = 0;
};
QString specReport(const platform::MachineFacts& facts, const ReportFigures& figures);

} // namespace MachineDescription
