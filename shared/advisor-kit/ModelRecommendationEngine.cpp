#include "ModelRecommendationEngine.h"
#include "ModelDatabase.h"
#include "TruncatedInteger.h"

#include "core/NumberFormat.h"

#include <algorithm>
#include <cstdint>

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
    std::string out = name;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (out.find(':') == std::string::npos)
        out += ":latest";
    return out;
}

bool hasTried(const ModelProfile& model, const UserRecommendationContext& context)
{
    const std::string base = baseName(model.id);
    return std::any_of(context.triedModels.begin(), context.triedModels.end(),
        [&base](const ModelPerformanceRecord& r) { return beginsWith(r.modelName, base); });
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
    const CapabilityScores& s = model.scores;
    double base = 0;
    switch (context.primaryUseCase) {
    case UseCase::coding:
    case UseCase::codeCompletion:
        base = s.codingScore;
        break;
    case UseCase::writing:
    case UseCase::generalChat:
    case UseCase::translation:
        base = s.generalQuality;
        break;
    case UseCase::reasoning:
    case UseCase::dataAnalysis:
    case UseCase::systemsDesign:
        base = s.reasoningScore;
        break;
    case UseCase::research:
    case UseCase::longContext:
        base = (s.generalQuality + s.reasoningScore) * 0.5;
        break;
    }
    double score = base * 3.5;

    if (contains(model.strongUseCases, context.primaryUseCase))
        score += 5;
    if (contains(model.weakUseCases, context.primaryUseCase))
        score -= 8;

    const auto variant = selectVariant(model, context);
    if (!variant)
        return 0;

    // Headroom uses the memory free now, unlike the budget, which uses total memory.
    const double headroom = context.macProfile.availableMemoryGB - variant->runtimeFootprintGB;
    if (headroom >= 32)
        score += 25;
    else if (headroom >= 16)
        score += 18;
    else if (headroom >= 8)
        score += 10;
    else if (headroom >= 4)
        score += 3;
    else
        score -= 20;

    const double speed = expectedTokensPerSecond(model, context.macProfile.chipClass);
    switch (context.speedPreference) {
    case SpeedPreference::fastest:
        score += std::min(speed * 0.25, 20.0);
        break;
    case SpeedPreference::balanced:
        score += std::min(speed / 6, 15.0);
        break;
    case SpeedPreference::quality:
        score += std::min(speed / 15, 8.0);
        break;
    }

    if (context.runsAlongsideBuilds) {
        if (headroom > 24)
            score += 15;
        else if (headroom > 16)
            score += 8;
        else if (headroom > 8)
            score += 3;
        else
            score -= 10;
    }

    const ThermalHeadroom thermal = context.macProfile.thermalHeadroom;
    switch (model.thermalImpact) {
    case ThermalImpact::minimal:
        score += 5;
        break;
    case ThermalImpact::moderate:
        score += thermal == ThermalHeadroom::excellent ? 4 : thermal == ThermalHeadroom::adequate ? 2 : 1;
        break;
    case ThermalImpact::significant:
        score += thermal == ThermalHeadroom::tight ? -5 : 1;
        break;
    }

    // Only the first record of the model's family counts.
    const std::string family = baseName(model.id);
    for (const auto& record : context.triedModels) {
        if (!beginsWith(record.modelName, family))
            continue;
        if (record.averageSessionMinutes > 30)
            score += 10;
        else if (record.averageSessionMinutes > 10)
            score += 5;
        if (record.userRating)
            score += (static_cast<double>(*record.userRating) - 3) * 3; // in double: a stored rating may be any integer
        break;
    }

    if (!(score > 0))
        return 0;
    return std::min(score, 100.0);
}

std::vector<ModelRecommendation> ModelRecommendationEngine::recommend(
    const UserRecommendationContext& context, int limit) const
{
    if (limit <= 0)
        return {};

    const double total = context.macProfile.totalMemoryGB;
    const double reserve = memoryReserveGB(total, context.runsAlongsideBuilds);
    const double buildHeadroom = context.macProfile.typicalFreeHeadroomGB - reserve;
    const std::int64_t minimumContext = minimumTokens(context.contextLengthNeeded);

    std::vector<std::pair<const ModelProfile*, double>> scored;
    for (const auto& model : m_database) {
        const auto variant = selectVariant(model, context);
        if (!variant || model.contextWindowTokens < minimumContext)
            continue;
        if (context.preferredFramework
            && std::find(model.availableVia.begin(), model.availableVia.end(), *context.preferredFramework)
                == model.availableVia.end())
            continue;
        if (context.runsAlongsideBuilds && buildHeadroom > 0 && variant->runtimeFootprintGB > buildHeadroom)
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

ModelRecommendation ModelRecommendationEngine::buildRecommendation(const ModelProfile& model,
    const MemoryProfile& variant, int rank, const UserRecommendationContext& context, double score)
{
    const MacCapabilityProfile& mac = context.macProfile;
    const double speed = expectedTokensPerSecond(model, mac.chipClass);
    const std::string tokens = std::to_string(truncatedInteger(speed));
    const double footprint = variant.runtimeFootprintGB;
    const double headroom = mac.availableMemoryGB - footprint;
    const bool strong = contains(model.strongUseCases, context.primaryUseCase);
    const bool tried = hasTried(model, context);

    std::vector<ModelRecommendation::ReasoningPoint> reasoning;
    reasoning.push_back({Uuid::random(), "memorychip",
        cformat("%.0f", headroom)
            + (headroom > 24 ? "GB headroom remaining \u2014 comfortable" : "GB headroom \u2014 tight but workable"),
        headroom > 16});
    if (strong)
        reasoning.push_back(
            {Uuid::random(), "star.fill", "Specifically strong for " + lowercasedText(context.primaryUseCase), true});
    reasoning.push_back(
        {Uuid::random(), "speedometer", "~" + tokens + " tok/s on your " + rawValue(mac.chipClass), speed > 30});
    if (context.runsAlongsideBuilds) {
        reasoning.push_back({Uuid::random(), "hammer",
            headroom > 24 ? "Won't impact your builds" : "May slow builds slightly \u2014 Compile Mode will help",
            headroom > 24});
    }
    reasoning.push_back({Uuid::random(), tried ? "checkmark.seal" : "sparkles",
        tried ? "You've used this model before" : "You haven't tried this yet", true});

    std::vector<ModelRecommendation::Tradeoff> tradeoffs;
    if (contains(model.weakUseCases, context.primaryUseCase)) {
        tradeoffs.push_back(
            {Uuid::random(), "Not optimized for " + lowercasedText(context.primaryUseCase), Severity::significant});
    }
    if (speed < 20) {
        tradeoffs.push_back({Uuid::random(), "Slower than smaller models (" + tokens + " tok/s)",
            context.speedPreference == SpeedPreference::fastest ? Severity::significant : Severity::minor});
    }
    if (headroom < 16 && context.runsAlongsideBuilds)
        tradeoffs.push_back(
            {Uuid::random(), "Tight memory during builds \u2014 Compile Mode essential", Severity::moderate});
    if (variant.qualityRetentionPercent < 93) {
        tradeoffs.push_back({Uuid::random(),
            cformat("%.0f%% quality vs full precision", variant.qualityRetentionPercent), Severity::minor});
    }

    std::optional<Badge> badge;
    if (rank == 1)
        badge = Badge::bestForYou;
    else if (rank == 2 && (model.scores.codingScore > 9 || model.scores.generalQuality > 9))
        badge = Badge::highestQuality;
    else if (rank == 3 && speed > 70)
        badge = Badge::fastest;
    const bool installed = isInstalled(model, context.installedModels);
    if (installed)
        badge = Badge::alreadyHave;

    const InferenceFramework framework = context.preferredFramework.value_or(InferenceFramework::ollama);
    std::string installCommand = "ollama pull " + model.id;
    if (const auto it = model.installCommands.find(framework); it != model.installCommands.end())
        installCommand = it->second;
    else if (const auto ollama = model.installCommands.find(InferenceFramework::ollama);
             ollama != model.installCommands.end())
        installCommand = ollama->second;

    const auto measured = model.performanceProfiles.find(mac.chipClass);
    const ModelRecommendation::ExpectedPerformance expected {
        .tokensPerSecondRange = {speed * 0.7, speed * 1.1},
        .memoryFootprintGB = footprint,
        .headroomRemainingGB = headroom,
        .timeToFirstTokenSeconds
        = measured != model.performanceProfiles.end() ? measured->second.timeToFirstTokenSeconds : 1.0,
        .willCauseThrottling
        = model.thermalImpact == ThermalImpact::significant && mac.thermalHeadroom == ThermalHeadroom::tight,
        .compatibleWithBuilds = headroom > 16 || !context.runsAlongsideBuilds,
        .percentileVsUserHistory = std::nullopt,
    };

    return {
        .id = Uuid::random(),
        .model = model,
        .variant = variant,
        .framework = framework,
        .rank = rank,
        .score = score,
        .badge = badge,
        .confidence = std::min(score / 100, 1.0),
        .reasoning = std::move(reasoning),
        .tradeoffs = std::move(tradeoffs),
        .expectedPerformance = expected,
        .alreadyInstalled = installed,
        .installCommand = std::move(installCommand),
        .warning = model.notes,
    };
}
