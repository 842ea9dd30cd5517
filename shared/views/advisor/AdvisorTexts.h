#pragma once

#include "advisor-kit/FrameworkRecommendation.h"
#include "advisor-kit/MacCapabilityProfile.h"
#include "advisor-kit/ModelProfile.h"
#include "advisor-kit/ModelRecommendationEngine.h"
#include "advisor-kit/UserRecommendationContext.h"
#include "core/RawEnum.h"

#include <QList>
#include <QString>

#include <optional>

// An enumeration's raw text, as the advisor shows it.
template<RawEnum E> QString rawText(E value)
{
    return QString::fromStdString(rawValue(value));
}

// The advisor's composed texts, kept apart from the widgets so each rule is stated once. A figure that
// is not a finite number prints as "—".
namespace AdvisorTexts {

struct MemoryConfiguration
{
    QString name;
    double memoryGB = 0;
};

// The seven common configurations the memory chart and the report compare against.
const QList<MemoryConfiguration>& memoryConfigurations();
// Percent of `comparisons` with strictly less memory, truncated; 0 for an empty table or a non-finite memory.
int memoryRank(double memoryGB, const QList<MemoryConfiguration>& comparisons);

// "35-60 tok/s" and the rest, by speed class.
QString speedText(MacCapabilityProfile::SpeedClass speed);
// The chip's name on Apple silicon; elsewhere the processor's own name, or "—" without one.
QString chipName(const MacCapabilityProfile& profile, bool appleSilicon);
// "Unified Memory" on Apple silicon, plain "Memory" elsewhere.
QString memoryName(bool appleSilicon);
// "36GB Unified Memory · 35-60 tok/s"; the speed is "—" off Apple silicon.
QString contextHeaderLine(const MacCapabilityProfile& profile, bool appleSilicon);
// "M3 Pro · 36GB Unified Memory"
QString potentialSubtitle(const MacCapabilityProfile& profile, bool appleSilicon);

// A capability's detail, without claims for Apple silicon on other hardware.
QString capabilityDetail(const MacCapabilityProfile::Capability& capability, bool appleSilicon);

enum class NotRecommendedReason { tooLarge, lowMatch };
// "Too Large" when the download exceeds the context's free headroom less 8 GB; without a context, "Low Match".
NotRecommendedReason notRecommendedReason(
    const ModelProfile& model, const std::optional<UserRecommendationContext>& context);
QString reasonText(NotRecommendedReason reason);

// A run that found no model says so: "No model fits in 6.5 GB while you build" when the room beside
// the builds is what ruled the models out, else "No model fits these answers".
QString noFitTitle(
    const UserRecommendationContext& context, const std::optional<ModelRecommendationEngine::Candidate>& smallest);
// What would fit, and how to make room for it; or, with no candidate, what ruled every model out.
QString noFitDetail(const std::optional<ModelRecommendationEngine::Candidate>& smallest);

// "Setup time: ~12 mins · Overhead: 1.5GB"
QString setupLine(const FrameworkRecommendation& recommendation);
// "Min: 32K tokens"
QString minimumTokensText(UserRecommendationContext::ContextLength length);

struct UpgradeAdvice
{
    QString title;
    QString sentence;
};
// The next hardware step: more memory up to 16 GB, nothing above. "Unified" memory only on Apple silicon.
UpgradeAdvice upgradeAdvice(const MacCapabilityProfile& profile, bool appleSilicon = true);

// The shareable plain-text report: lines joined by "\n", no line feed after the last.
QString capabilityReport(const MacCapabilityProfile& profile, bool appleSilicon);

// What a card offers for an install command: a command to copy, or where to get the program when the
// catalogue's text is no command this system can run.
struct CommandOffer
{
    QString command; // empty when there is nothing to copy
    QString whereToGet; // shown instead of a command
};
CommandOffer commandOffer(const QString& installCommand, const QString& website = {});

} // namespace AdvisorTexts
