#include "MachineDescription.h"

#include "ui/NumberText.h"

#include <QCryptographicHash>
#include <QStringList>

namespace MachineDescription {

QString modelIdentifier(const platform::MachineFacts& facts)
{
    const QString id = QString::fromStdString(facts.modelIdentifier).trimmed();
    return id.isEmpty() ? NumberText::dash : id;
}

QString machineName(const platform::MachineFacts& facts)
{
    if (!QString::fromStdString(facts.modelIdentifier).trimmed().isEmpty())
        return marketingModelName(modelIdentifier(facts));
    // Without firmware data (a virtual machine, many boards) the machine goes by its host name.
    for (const std::string& name : {facts.hostName, facts.cpuBrand}) {
        const QString text = QString::fromStdString(name).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return QStringLiteral("Unknown Machine");
}

QString marketingModelName(const QString& id)
{
    static const std::pair<const char*, const char*> kNames[]
        = {{"MacBookPro", "MacBook Pro"}, {"MacBookAir", "MacBook Air"}, {"Macmini", "Mac mini"},
            {"MacStudio", "Mac Studio"}, {"MacPro", "Mac Pro"}, {"iMac", "iMac"}};
    for (const auto& [key, name] : kNames)
        if (id.contains(QLatin1String(key), Qt::CaseSensitive))
            return QString::fromLatin1(name);
    // A newer Mac names itself "Mac" and digits; any other machine is called by its own model name.
    if (id.contains(QLatin1String("Mac"), Qt::CaseSensitive))
        return QStringLiteral("Apple Mac");
    return id.isEmpty() || id == unknown || id == NumberText::dash ? QStringLiteral("Unknown Machine") : id;
}

QString cpuBrandString(const platform::MachineFacts& facts)
{
    const QString brand = QString::fromStdString(facts.cpuBrand).trimmed();
    return brand.isEmpty() ? QStringLiteral("Unknown Processor") : brand;
}

QString osVersionString(const platform::MachineFacts& facts)
{
    const QString version = facts.osVersion.empty() ? unknown : QString::fromStdString(facts.osVersion);
    const QString build = facts.kernelRelease.empty() ? unknown : QString::fromStdString(facts.kernelRelease);
    return QStringLiteral("Version %1 (Build %2)").arg(version, build);
}

QString neuralEngineDescription(const QString& brand)
{
    if (!brand.contains(QLatin1String("Apple"))) {
        if (brand.contains(QLatin1String("Intel")))
            return QStringLiteral("Intel CPU (No Apple Neural Engine)");
        if (brand.contains(QLatin1String("AMD")))
            return QStringLiteral("AMD CPU (No Apple Neural Engine)");
        if (brand.isEmpty() || brand == QLatin1String("Unknown Processor"))
            return unknown;
        return brand.section(QLatin1Char(' '), 0, 0) + QStringLiteral(" CPU (No Apple Neural Engine)");
    }
    if (brand.contains(QLatin1String("Ultra")))
        return QStringLiteral("32-Core Apple Neural Engine (Up to 31.6 TOPS)");
    if (brand.contains(QLatin1String("Max")) || brand.contains(QLatin1String("Pro")))
        return QStringLiteral("16-Core Apple Neural Engine (Up to 15.8 TOPS)");
    return QStringLiteral("16-Core Apple Neural Engine");
}

QString memoryBandwidthDescription(const QString& brand)
{
    struct Family
    {
        const char* name;
        const char* max;
        const char* pro;
        const char* base;
    };
    static const Family kFamilies[]
        = {{"M1", "400 GB/s", "200 GB/s", "68.25 GB/s"}, {"M2", "400 GB/s", "200 GB/s", "100 GB/s"},
            {"M3", "300 - 400 GB/s", "150 GB/s", "100 GB/s"}, {"M4", "410 GB/s", "273 GB/s", "150 GB/s"}};
    for (const Family& family : kFamilies) {
        if (!brand.contains(QLatin1String(family.name)))
            continue;
        if (brand.contains(QLatin1String("Max")))
            return QString::fromLatin1(family.max);
        if (brand.contains(QLatin1String("Pro")))
            return QString::fromLatin1(family.pro);
        return QString::fromLatin1(family.base);
    }
    return NumberText::dash;
}

QString platformType(const platform::MachineFacts& facts)
{
    const QString kernel
        = facts.kernelName.empty() ? QStringLiteral("Linux") : QString::fromStdString(facts.kernelName);
    if (facts.architecture.empty())
        return kernel;
    return kernel + QLatin1Char(' ') + QString::fromStdString(facts.architecture);
}

QString serialIdentifier(const platform::MachineFacts& facts)
{
    const QString serial = QString::fromStdString(facts.serialNumber).trimmed();
    return serial.isEmpty() ? NumberText::dash : serial;
}

QString hostIdentifier(const QString& machineId)
{
    if (machineId.trimmed().isEmpty())
        return NumberText::dash;
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayLiteral("quorvane-host-id:") + machineId.trimmed().toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex().left(12));
}

QString specReport(const platform::MachineFacts& facts, const ReportFigures& figures)
{
    const QString id = modelIdentifier(facts);
    const QString brand = cpuBrandString(facts);
    QString text;
    text.reserve(280);
    // A count or size the machine did not give reads "—", as on the page.
    const auto cores
        = [](std::optional<int> n) { return n && *n > 0 ? QStringLiteral("%1 Cores").arg(*n) : NumberText::dash; };
    const QStringList lines {QStringLiteral("=== QUORVANE MACHINE DIAGNOSTIC REPORT ==="),
        QStringLiteral("Model Name: ") + machineName(facts), QStringLiteral("Model Identifier: ") + id,
        QStringLiteral("Processor: ") + brand, QStringLiteral("OS Version: ") + osVersionString(facts),
        QStringLiteral("Total Cores: ") + cores(figures.logicalCpus),
        QStringLiteral("GPU Cores: ") + cores(figures.gpuCores),
        QStringLiteral("Neural Engine: ") + neuralEngineDescription(brand),
        QStringLiteral("Physical Memory: ")
            + (figures.physicalMemoryGB > 0 ? NumberText::wholeText(figures.physicalMemoryGB) + QStringLiteral(" GB")
                                            : NumberText::dash),
        QStringLiteral("Memory Bandwidth: ") + memoryBandwidthDescription(brand),
        QStringLiteral("Serial ID: ") + serialIdentifier(facts), QString(44, QLatin1Char('='))};
    text = lines.join(QLatin1Char('\n'));
    return text;
}

} // namespace MachineDescription
