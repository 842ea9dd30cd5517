#include "AdvisorTexts.h"

#include "ui/NumberText.h"

#include <QCoreApplication>
#include <QUrl>

#include <cmath>

namespace AdvisorTexts {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("AdvisorTexts", text);
}

const QString kRule = QString(50, QLatin1Char('-'));
const QString kBullet = QStringLiteral("\u2022 ");

} // namespace

const QList<MemoryConfiguration>& memoryConfigurations()
{
    static const QList<MemoryConfiguration> table {
        {QStringLiteral("M1 Air 8GB"), 8},
        {QStringLiteral("M2 Pro 16GB"), 16},
        {QStringLiteral("M3 Pro 36GB"), 36},
        {QStringLiteral("M3 Max 48GB"), 48},
        {QStringLiteral("M3 Max 64GB"), 64},
        {QStringLiteral("M3 Max 96GB"), 96},
        {QStringLiteral("M2 Ultra 192GB"), 192},
    };
    return table;
}

int memoryRank(double memoryGB, const QList<MemoryConfiguration>& comparisons)
{
    if (comparisons.isEmpty() || std::isnan(memoryGB))
        return 0;
    qsizetype below = 0;
    for (const auto& row : comparisons) {
        if (row.memoryGB < memoryGB)
            ++below;
    }
    return static_cast<int>(below * 100 / comparisons.size());
}

QString speedText(MacCapabilityProfile::SpeedClass speed)
{
    switch (speed) {
    case MacCapabilityProfile::SpeedClass::slow:
        return QStringLiteral("8-15 tok/s (M1 base)");
    case MacCapabilityProfile::SpeedClass::moderate:
        return QStringLiteral("15-35 tok/s");
    case MacCapabilityProfile::SpeedClass::fast:
        return QStringLiteral("35-60 tok/s");
    case MacCapabilityProfile::SpeedClass::veryFast:
        return QStringLiteral("60+ tok/s");
    }
    return NumberText::dash;
}

QString chipName(const MacCapabilityProfile& profile, bool appleSilicon)
{
    if (appleSilicon)
        return rawText(profile.chipClass);
    const QString processor = QString::fromStdString(profile.processorName).trimmed();
    return processor.isEmpty() ? NumberText::dash : processor;
}

QString memoryName(bool appleSilicon)
{
    return appleSilicon ? tr("Unified Memory") : tr("Memory");
}

QString contextHeaderLine(const MacCapabilityProfile& profile, bool appleSilicon)
{
    // The speed classes are measurements of Apple chips; they say nothing of other processors.
    return NumberText::wholeText(profile.totalMemoryGB) + QStringLiteral("GB ") + memoryName(appleSilicon)
        + QStringLiteral(" \u00b7 ")
        + (appleSilicon ? speedText(profile.estimatedInferenceSpeedClass()) : NumberText::dash);
}

QString potentialSubtitle(const MacCapabilityProfile& profile, bool appleSilicon)
{
    return chipName(profile, appleSilicon) + QStringLiteral(" \u00b7 ") + NumberText::wholeText(profile.totalMemoryGB)
        + QStringLiteral("GB ") + memoryName(appleSilicon);
}

QString capabilityDetail(const MacCapabilityProfile::Capability& capability, bool appleSilicon)
{
    const QString detail = QString::fromStdString(capability.detail);
    if (!appleSilicon && detail.contains(QLatin1String("Apple Silicon"), Qt::CaseInsensitive))
        return {};
    return detail;
}

NotRecommendedReason notRecommendedReason(
    const ModelProfile& model, const std::optional<UserRecommendationContext>& context)
{
    if (context && model.downloadSizeGB > context->macProfile.typicalFreeHeadroomGB - 8)
        return NotRecommendedReason::tooLarge;
    return NotRecommendedReason::lowMatch;
}

QString reasonText(NotRecommendedReason reason)
{
    return reason == NotRecommendedReason::tooLarge ? tr("Too Large") : tr("Low Match");
}

QString noFitTitle(
    const UserRecommendationContext& context, const std::optional<ModelRecommendationEngine::Candidate>& smallest)
{
    if (!context.runsAlongsideBuilds || !smallest)
        return tr("No model fits these answers");
    return tr("No model fits in ")
        + NumberText::numberText("%.1f", ModelRecommendationEngine::buildHeadroomGB(context.macProfile))
        + tr(" GB while you build");
}

QString noFitDetail(const std::optional<ModelRecommendationEngine::Candidate>& smallest)
{
    if (!smallest) {
        return tr("No model in the catalogue fits this computer's memory with the context length and runtime "
                  "you chose.");
    }
    return tr("The smallest that would, ") + QString::fromStdString(smallest->model.displayName) + QStringLiteral(" (")
        + rawText(smallest->variant.quantization) + tr("), needs ")
        + NumberText::numberText("%.1f", smallest->variant.runtimeFootprintGB)
        + tr(" GB: close programs to make that room beside your builds, or answer that you don't build while it "
             "runs.");
}

QString setupLine(const FrameworkRecommendation& recommendation)
{
    return tr("Setup time: ~") + QString::number(recommendation.estimatedSetupMinutes) + tr(" mins \u00b7 Overhead: ")
        + NumberText::numberText("%.1f", recommendation.memoryOverheadGB) + QStringLiteral("GB");
}

QString minimumTokensText(UserRecommendationContext::ContextLength length)
{
    return tr("Min: ") + QString::number(minimumTokens(length) / 1000) + tr("K tokens");
}

UpgradeAdvice upgradeAdvice(const MacCapabilityProfile& profile, bool appleSilicon)
{
    // The advice agrees with the capability rows on the same page: optimal only where none is ruled out for
    // lack of memory. A memory that could not be read (NaN) is no reason to call the hardware optimal.
    if (!(profile.totalMemoryGB >= MacCapabilityProfile::k70BMemoryGB)) {
        return {tr("Upgrade Memory (RAM)"),
            tr("Moving to 48GB+ RAM is the best way to run large local reasoning models like Llama 70B.")};
    }
    if (profile.totalMemoryGB < MacCapabilityProfile::k405BMemoryGB) {
        return {tr("Upgrade Memory (RAM)"),
            tr("Moving to 192GB+ RAM is the best way to run frontier-class models like Llama 405B.")};
    }
    return {tr("Hardware is Optimal"),
        (appleSilicon ? tr("You have plenty of unified memory (") : tr("You have plenty of memory ("))
            + NumberText::wholeText(profile.totalMemoryGB) + tr("GB) to handle modern model scales locally.")};
}

namespace {

// A whole figure with its unit, or the dash alone when the figure is unknown.
QString figure(std::optional<long long> value, const QString& unit)
{
    return value ? QString::number(*value) + unit : NumberText::dash;
}

QString statusLine(const MacCapabilityProfile::Capability& capability, bool appleSilicon)
{
    QString line = kBullet + (capability.possible ? QStringLiteral("[\u2713] ") : QStringLiteral("[ ] "))
        + QString::fromStdString(capability.name);
    const QString detail = capabilityDetail(capability, appleSilicon);
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + detail;
    if (capability.possible && capability.quality)
        line += QStringLiteral(" (") + QString::fromStdString(*capability.quality) + QLatin1Char(')');
    return line;
}

} // namespace

QString capabilityReport(const MacCapabilityProfile& p, bool appleSilicon)
{
    const UpgradeAdvice advice = upgradeAdvice(p, appleSilicon);
    const QString ssd = NumberText::numberText("%.1f", p.storageFreeSSD);
    QStringList lines {
        kRule,
        QStringLiteral("\U0001F4BB MY COMPUTER'S LOCAL AI CAPABILITY REPORT"),
        kRule,
        QStringLiteral("Hardware Specs:"),
        kBullet + QStringLiteral("Chip Class: ") + chipName(p, appleSilicon),
        kBullet + memoryName(appleSilicon) + QStringLiteral(": ") + figure(NumberText::whole(p.totalMemoryGB), "GB"),
        kBullet + QStringLiteral("Performance CPU Cores: ") + QString::number(p.cpuCores),
        kBullet + QStringLiteral("GPU Cores: ") + (appleSilicon ? QString::number(p.gpuCores) : NumberText::dash),
        kBullet + QStringLiteral("Neural Engine Cores: ")
            + (appleSilicon ? QString::number(p.neuralEngineCores) : NumberText::dash),
        kBullet + QStringLiteral("Memory Bandwidth: ")
            + (appleSilicon ? figure(NumberText::whole(p.memoryBandwidthGBs), QStringLiteral(" GB/s"))
                            : NumberText::dash),
        kBullet + QStringLiteral("SSD Available Space: ")
            + (ssd == NumberText::dash ? ssd : ssd + QStringLiteral("GB")),
        kBullet + QStringLiteral("Memory Rank: Better than ~")
            + QString::number(memoryRank(p.totalMemoryGB, memoryConfigurations()))
            + QStringLiteral("% of common configurations."),
        QString(),
        QStringLiteral("Local AI Capability Status:"),
    };
    MacCapabilityProfile rated = p;
    rated.appleSilicon = appleSilicon;
    for (const auto& capability : rated.capabilities())
        lines << statusLine(capability, appleSilicon);
    lines << QString() << QStringLiteral("Next Upgrade Focus:")
          << kBullet + advice.title + QStringLiteral(" - ") + advice.sentence << QString()
          << QStringLiteral("Generated by Quorvane") << kRule;
    return lines.join(QLatin1Char('\n'));
}

CommandOffer commandOffer(const QString& installCommand, const QString& website)
{
    const QString command = installCommand.trimmed();
    const QString host = QUrl(website).host();
    const QString site = host.isEmpty() ? website : host;
    // "Download from …" is an instruction, not a command; "open -a" starts a program only on macOS.
    if (command.startsWith(QLatin1String("Download from "), Qt::CaseInsensitive))
        return {{}, command};
    if (command.startsWith(QLatin1String("open -a "))) {
        return {{}, site.isEmpty() ? tr("Start it from your applications menu") : tr("Download from ") + site};
    }
    return {installCommand, {}};
}

} // namespace AdvisorTexts
