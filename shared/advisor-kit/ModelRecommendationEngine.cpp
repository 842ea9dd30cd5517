#include "ModelRecommendationEngine.h"
#include "ModelDatabase.h"
#include "TruncatedInteger.h"

#include "core/NumberFormat.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

using SpeedPreference = UserRecommendationContext::SpeedPreference;
using ThermalHeadroom = MacCapabilityProfile::ThermalHeadroom;
using Badge = ModelRecommendation::Badge;
using Severity = ModelRecommendation::Tradeoff::Severity;

bool contains(const std::vector<UseCase>& list, UseCase useCase)
{
    return std::find(list.begin(), list.end(), useCase) != list.end();
}

// The part of the id before the first ":" ("llama3.1" for "llama3.1:8b").
std::string baseName(const std::string& id)
{
    return id.substr(0, id.find(':'));
}

bool beginsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Ollama treats an untagged name as ":latest"; names are compared ignoring ASCII case.
std::string canonicalTag(const std::string& name)
{
    std::string out = platform::asciiLower(name);
    if (out.find(':') == std::string::npos)
        out += ":latest";
    return out;
}

// The user's history with the model's family: the first record whose name begins with the
// model's base name. Later records of the same family do not count.
const ModelPerformanceRecord* firstTriedRecord(const ModelProfile& model, const UserRecommendationContext& context)
{
    const std::string family = baseName(model.id);
    const auto it = std::find_if(context.triedModels.begin(), context.triedModels.end(),
        [&family](const ModelPerformanceRecord& r) { return beginsWith(r.modelName, family); });
    return it == context.triedModels.end() ? nullptr : &*it;
}

// The 0 to 10 rating that matters most for the use case.
double useCaseRating(const CapabilityScores& s, UseCase useCase)
{
    switch (useCase) {
    case UseCase::coding:
    case UseCase::codeCompletion:
        return s.codingScore;
    case UseCase::writing:
    case UseCase::generalChat:
    case UseCase::translation:
        return s.generalQuality;
    case UseCase::reasoning:
    case UseCase::dataAnalysis:
    case UseCase::systemsDesign:
        return s.reasoningScore;
    case UseCase::research:
    case UseCase::longContext:
        return (s.generalQuality + s.reasoningScore) * 0.5;
    }
    return 0;
}

double headroomBonus(double headroom)
{
    if (headroom >= 32)
        return 25;
    if (headroom >= 16)
        return 18;
    if (headroom >= 8)
        return 10;
    if (headroom >= 4)
        return 3;
    return -20;
}

// Speed counts for more the faster the user wants answers, up to a cap per preference.
double speedBonus(double tokensPerSecond, SpeedPreference preference)
{
    switch (preference) {
    case SpeedPreference::fastest:
        return std::min(tokensPerSecond * 0.25, 20.0);
    case SpeedPreference::balanced:
        return std::min(tokensPerSecond / 6, 15.0);
    case SpeedPreference::quality:
        return std::min(tokensPerSecond / 15, 8.0);
    }
    return 0;
}

double buildsBonus(double headroom, bool runsAlongsideBuilds)
{
    if (!runsAlongsideBuilds)
        return 0;
    if (headroom > 24)
        return 15;
    if (headroom > 16)
        return 8;
    if (headroom > 8)
        return 3;
    return -10;
}

double thermalBonus(ThermalImpact impact, ThermalHeadroom thermal)
{
    switch (impact) {
    case ThermalImpact::minimal:
        return 5;
    case ThermalImpact::moderate:
        return thermal == ThermalHeadroom::excellent ? 4 : thermal == ThermalHeadroom::adequate ? 2 : 1;
    case ThermalImpact::significant:
        return thermal == ThermalHeadroom::tight ? -5 : 1;
    }
    return 0;
}

double sessionLengthBonus(const ModelPerformanceRecord* record)
{
    if (!record)
        return 0;
    if (record->averageSessionMinutes > 30)
        return 10;
    if (record->averageSessionMinutes > 10)
        return 5;
    return 0;
}

// A rating of 3 is neutral; computed in double because a stored rating may be any integer.
double ratingBonus(const ModelPerformanceRecord* record)
{
    if (!record || !record->userRating)
        return 0;
    return (static_cast<double>(*record->userRating) - 3) * 3;
}

std::string tokensText(double tokensPerSecond)
{
    return std::to_string(truncatedInteger(tokensPerSecond));
}

std::vector<ModelRecommendation::ReasoningPoint> reasoningPoints(
    const ModelProfile& model, const UserRecommendationContext& context, double speed, double headroom, bool tried)
{
    std::vector<ModelRecommendation::ReasoningPoint> reasoning;
    // Above 16 GB the point counts in the model's favour, so it is not called tight there.
    const char* room = headroom > 24 ? "GB headroom remaining \u2014 comfortable"
        : headroom > 16              ? "GB headroom remaining \u2014 workable"
                                     : "GB headroom \u2014 tight but workable";
    reasoning.push_back({Uuid::random(), "memorychip", cformat("%.0f", headroom) + room, headroom > 16});
    if (contains(model.strongUseCases, context.primaryUseCase))
        reasoning.push_back(
            {Uuid::random(), "star.fill", "Specifically strong for " + lowercasedText(context.primaryUseCase), true});
    // The speeds are those of Apple chips; on another processor there is no figure to give.
    if (context.macProfile.appleSilicon) {
        reasoning.push_back({Uuid::random(), "speedometer",
            "~" + tokensText(speed) + " tok/s on your " + rawValue(context.macProfile.chipClass), speed > 30});
    } else {
        const std::string processor
            = context.macProfile.processorName.empty() ? "processor" : context.macProfile.processorName;
        reasoning.push_back({Uuid::random(), "speedometer", "\u2014 tok/s on your " + processor, false});
    }
    if (context.runsAlongsideBuilds) {
        reasoning.push_back({Uuid::random(), "hammer",
            headroom > 24 ? "Won't impact your builds" : "May slow builds slightly \u2014 Compile Mode will help",
            headroom > 24});
    }
    reasoning.push_back({Uuid::random(), tried ? "checkmark.seal" : "sparkles",
        tried ? "You've used this model before" : "You haven't tried this yet", true});
    return reasoning;
}

std::vector<ModelRecommendation::Tradeoff> tradeoffs(const ModelProfile& model, const MemoryProfile& variant,
    const UserRecommendationContext& context, double speed, double headroom)
{
    std::vector<ModelRecommendation::Tradeoff> out;
    if (contains(model.weakUseCases, context.primaryUseCase)) {
        out.push_back(
            {Uuid::random(), "Not optimized for " + lowercasedText(context.primaryUseCase), Severity::significant});
    }
    if (context.macProfile.appleSilicon && speed < 20) {
        out.push_back({Uuid::random(), "Slower than smaller models (" + tokensText(speed) + " tok/s)",
            context.speedPreference == SpeedPreference::fastest ? Severity::significant : Severity::minor});
    }
    if (headroom < 16 && context.runsAlongsideBuilds)
        out.push_back({Uuid::random(), "Tight memory during builds \u2014 Compile Mode essential", Severity::moderate});
    if (variant.qualityRetentionPercent < 93) {
        out.push_back({Uuid::random(), cformat("%.0f%% quality vs full precision", variant.qualityRetentionPercent),
            Severity::minor});
    }
    return out;
}

// An installed model always shows that; otherwise only the top three ranks can earn a badge.
std::optional<Badge> badgeFor(const ModelProfile& model, int rank, std::optional<double> speed, bool installed)
{
    if (installed)
        return Badge::alreadyHave;
    if (rank == 1)
        return Badge::bestForYou;
    if (rank == 2 && (model.scores.codingScore > 9 || model.scores.generalQuality > 9))
        return Badge::highestQuality;
    if (rank == 3 && speed && *speed > 70)
        return Badge::fastest;
    return std::nullopt;
}

// The runtime's own command, else the Ollama one, else a pull of the id.
std::string installCommandFor(const ModelProfile& model, InferenceFramework framework)
{
    if (const auto it = model.installCommands.find(framework); it != model.installCommands.end())
        return it->second;
    if (const auto ollama = model.installCommands.find(InferenceFramework::ollama);
        ollama != model.installCommands.end())
        return ollama->second;
    return "ollama pull " + model.id;
}

ModelRecommendation::ExpectedPerformance expectedPerformance(const ModelProfile& model,
    const UserRecommendationContext& context, double speed, double footprint, double headroom)
{
    const MacCapabilityProfile& mac = context.macProfile;
    const auto measured = model.performanceProfiles.find(mac.chipClass);
    // No range at all (NaN) where the chip tables do not describe this machine.
    const double known = mac.appleSilicon ? speed : std::numeric_limits<double>::quiet_NaN();
    return {
        .tokensPerSecondRange = {known * 0.7, known * 1.1},
        .memoryFootprintGB = footprint,
        .headroomRemainingGB = headroom,
        .timeToFirstTokenSeconds
        = measured != model.performanceProfiles.end() ? measured->second.timeToFirstTokenSeconds : 1.0,
        .willCauseThrottling
        = model.thermalImpact == ThermalImpact::significant && mac.thermalHeadroom == ThermalHeadroom::tight,
        .compatibleWithBuilds = headroom > 16 || !context.runsAlongsideBuilds,
        .percentileVsUserHistory = std::nullopt,
    };
}

} // namespace

ModelRecommendationEngine::ModelRecommendationEngine()
    : m_database(ModelDatabase::all())
{
}

ModelRecommendationEngine::ModelRecommendationEngine(std::vector<ModelProfile> database)
    : m_database(std::move(database))
{
}

double ModelRecommendationEngine::memoryReserveGB(double totalMemoryGB, bool runsAlongsideBuilds)
{
    if (totalMemoryGB <= 8)
        return 1.5;
    if (totalMemoryGB <= 16)
        return runsAlongsideBuilds ? 4 : 3;
    if (totalMemoryGB <= 32)
        return runsAlongsideBuilds ? 12 : 8;
    return runsAlongsideBuilds ? 24 : 8;
}

double ModelRecommendationEngine::buildHeadroomGB(const MacCapabilityProfile& profile)
{
    // Below the reserve nothing is left for a model; a negative room would turn the test around.
    const double room = profile.typicalFreeHeadroomGB - memoryReserveGB(profile.totalMemoryGB, true);
    return room > 0 ? room : 0;
}

bool ModelRecommendationEngine::isInstalled(const ModelProfile& model, const std::vector<OllamaModel>& installedModels)
{
    std::vector<std::string> tags {canonicalTag(model.id)};
    const auto pull = model.installCommands.find(InferenceFramework::ollama);
    const std::string pullPrefix = "ollama pull ";
    if (pull != model.installCommands.end() && beginsWith(pull->second, pullPrefix)) {
        const std::string pulled = pull->second.substr(pullPrefix.size());
        if (!pulled.empty() && pulled.find_first_of(": ") == std::string::npos)
            tags.push_back(canonicalTag(pulled));
    }
    return std::any_of(installedModels.begin(), installedModels.end(), [&tags](const OllamaModel& installed) {
        return std::find(tags.begin(), tags.end(), canonicalTag(installed.name)) != tags.end();
    });
}

std::optional<MemoryProfile> ModelRecommendationEngine::selectVariant(
    const ModelProfile& model, const UserRecommendationContext& context)
{
    const double total = context.macProfile.totalMemoryGB;
    const double budget = total - memoryReserveGB(total, context.runsAlongsideBuilds);
    // The map runs from least to most precise; the most precise variant that fits wins.
    for (auto it = model.memoryProfiles.rbegin(); it != model.memoryProfiles.rend(); ++it) {
        if (it->second.runtimeFootprintGB <= budget)
            return it->second;
    }
    return std::nullopt;
}

double ModelRecommendationEngine::expectedTokensPerSecond(const ModelProfile& model, ChipClass chip)
{
    const auto measured = model.performanceProfiles.find(chip);
    if (measured != model.performanceProfiles.end())
        return measured->second.tokensPerSecondSimple;
    return memoryBandwidthGBs(chip) / 300 * 40;
}

double ModelRecommendationEngine::scoreModel(const ModelProfile& model, const UserRecommendationContext& context)
{
    const auto variant = selectVariant(model, context);
    if (!variant)
        return 0;
    const MacCapabilityProfile& mac = context.macProfile;
    // Headroom uses the memory free now, unlike the budget, which uses total memory.
    const double headroom = mac.availableMemoryGB - variant->runtimeFootprintGB;
    const ModelPerformanceRecord* history = firstTriedRecord(model, context);

    // Each step adds on its own, in this order, so that the sum rounds the same way every time.
    double score = useCaseRating(model.scores, context.primaryUseCase) * 3.5;
    if (contains(model.strongUseCases, context.primaryUseCase))
        score += 5;
    if (contains(model.weakUseCases, context.primaryUseCase))
        score -= 8;
    score += headroomBonus(headroom);
    score += speedBonus(expectedTokensPerSecond(model, mac.chipClass), context.speedPreference);
    score += buildsBonus(headroom, context.runsAlongsideBuilds);
    score += thermalBonus(model.thermalImpact, mac.thermalHeadroom);
    score += sessionLengthBonus(history);
    score += ratingBonus(history);

    if (!(score > 0))
        return 0;
    return std::min(score, 100.0);
}

std::vector<ModelRecommendation> ModelRecommendationEngine::recommend(
    const UserRecommendationContext& context, int limit) const
{
    if (limit <= 0)
        return {};

    const double buildHeadroom = buildHeadroomGB(context.macProfile);
    std::vector<std::pair<const ModelProfile*, double>> scored;
    for (const auto& model : m_database) {
        const auto variant = selectVariant(model, context);
        if (!variant || !meetsAnswers(model, context))
            continue;
        if (context.runsAlongsideBuilds && !(variant->runtimeFootprintGB <= buildHeadroom))
            continue;
        scored.emplace_back(&model, scoreModel(model, context));
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.second > b.second; });

    const auto wanted = static_cast<std::size_t>(limit);
    std::vector<ModelRecommendation> out;
    for (std::size_t i = 0; i < scored.size() && i < 2 * wanted && out.size() < wanted; ++i) {
        const auto variant = selectVariant(*scored[i].first, context);
        if (!variant)
            continue;
        out.push_back(buildRecommendation(
            *scored[i].first, *variant, static_cast<int>(out.size()) + 1, context, scored[i].second));
    }
    return out;
}

bool ModelRecommendationEngine::meetsAnswers(const ModelProfile& model, const UserRecommendationContext& context)
{
    if (model.contextWindowTokens < minimumTokens(context.contextLengthNeeded))
        return false;
    return !context.preferredFramework
        || std::find(model.availableVia.begin(), model.availableVia.end(), *context.preferredFramework)
        != model.availableVia.end();
}

std::optional<ModelRecommendationEngine::Candidate> ModelRecommendationEngine::smallestCandidateBesideBuilds(
    const UserRecommendationContext& context) const
{
    std::optional<Candidate> smallest;
    for (const auto& model : m_database) {
        const auto variant = selectVariant(model, context);
        if (!variant || !meetsAnswers(model, context))
            continue;
        if (!smallest || variant->runtimeFootprintGB < smallest->variant.runtimeFootprintGB)
            smallest = Candidate {model, *variant};
    }
    return smallest;
}

ModelRecommendation ModelRecommendationEngine::buildRecommendation(const ModelProfile& model,
    const MemoryProfile& variant, int rank, const UserRecommendationContext& context, double score)
{
    const double speed = expectedTokensPerSecond(model, context.macProfile.chipClass);
    const double footprint = variant.runtimeFootprintGB;
    const double headroom = context.macProfile.availableMemoryGB - footprint;
    const bool tried = firstTriedRecord(model, context) != nullptr;
    const bool installed = isInstalled(model, context.installedModels);
    const InferenceFramework framework = context.preferredFramework.value_or(InferenceFramework::ollama);

    return {
        .id = Uuid::random(),
        .model = model,
        .variant = variant,
        .framework = framework,
        .rank = rank,
        .score = score,
        .badge
        = badgeFor(model, rank, context.macProfile.appleSilicon ? std::optional(speed) : std::nullopt, installed),
        .confidence = std::min(score / 100, 1.0),
        .reasoning = reasoningPoints(model, context, speed, headroom, tried),
        .tradeoffs = tradeoffs(model, variant, context, speed, headroom),
        .expectedPerformance = expectedPerformance(model, context, speed, footprint, headroom),
        .alreadyInstalled = installed,
        .installCommand = installCommandFor(model, framework),
        .warning = model.notes,
    };
}
