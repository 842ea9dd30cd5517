#include "FrameworkRecommendationEngine.h"
#include "FrameworkDatabase.h"
#include "TruncatedInteger.h"

#include "core/NumberFormat.h"

#include <algorithm>

namespace {

bool contains(const std::vector<UseCase>& list, UseCase useCase)
{
    return std::find(list.begin(), list.end(), useCase) != list.end();
}

// MLX runs on Apple silicon only.
bool needsAppleSilicon(InferenceFramework framework)
{
    return framework == InferenceFramework::mlx;
}

bool mlxForSpeed(const FrameworkProfile& profile, const UserRecommendationContext& context)
{
    return profile.framework == InferenceFramework::mlx && context.macProfile.appleSilicon
        && context.speedPreference == UserRecommendationContext::SpeedPreference::fastest;
}

} // namespace

double FrameworkRecommendationEngine::scoreFramework(
    const FrameworkProfile& profile, const UserRecommendationContext& context)
{
    double score = contains(profile.bestFor, context.primaryUseCase) ? 70 : 50;
    score -= profile.memoryOverheadGB * 5;
    score -= static_cast<double>(profile.setupMinutes) / 5;
    if (context.preferredFramework && *context.preferredFramework == profile.framework)
        score += 30;
    if (mlxForSpeed(profile, context))
        score += 15;
    return score;
}

std::vector<FrameworkRecommendation> FrameworkRecommendationEngine::recommend(
    const UserRecommendationContext& context, int limit) const
{
    const auto& catalogue = FrameworkDatabase::all();
    std::vector<std::pair<const FrameworkProfile*, double>> scored;
    scored.reserve(catalogue.size());
    for (const auto& profile : catalogue)
        scored.emplace_back(&profile, scoreFramework(profile, context));
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    // A runtime this machine cannot run comes after every one it can, whatever its score.
    if (!context.macProfile.appleSilicon) {
        std::stable_partition(
            scored.begin(), scored.end(), [](const auto& s) { return !needsAppleSilicon(s.first->framework); });
    }

    const std::size_t count = std::min(scored.size(), static_cast<std::size_t>(std::max(limit, 0)));
    std::vector<FrameworkRecommendation> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(buildRecommendation(*scored[i].first, static_cast<int>(i) + 1, context));
    return out;
}

FrameworkRecommendation FrameworkRecommendationEngine::buildRecommendation(
    const FrameworkProfile& profile, int rank, const UserRecommendationContext& context)
{
    std::vector<std::string> reasoning;
    if (contains(profile.bestFor, context.primaryUseCase)) {
        reasoning.push_back("Highly optimized for your primary task (" + lowercasedText(context.primaryUseCase) + ").");
    }
    if (profile.requiresPython)
        reasoning.push_back("Leverages your existing local Python environment.");
    if (profile.memoryOverheadGB < 0.2) {
        reasoning.push_back("Very lightweight runtime ("
            + std::to_string(truncatedInteger(profile.memoryOverheadGB * 1024)) + "MB overhead).");
    } else if (profile.memoryOverheadGB > 0.5) {
        reasoning.push_back(
            "Heavier memory footprint (" + cformat("%.1f", profile.memoryOverheadGB) + "GB overhead due to GUI).");
    }
    if (mlxForSpeed(profile, context))
        reasoning.push_back("Unlocks Apple Silicon's Neural Engine and Metal GPU capabilities for highest speed.");

    std::optional<std::string> badge;
    if (rank == 1)
        badge = "RECOMMENDED";
    else if (mlxForSpeed(profile, context))
        badge = "FASTEST";
    else if (profile.memoryOverheadGB <= 0.05)
        badge = "EFFICIENT";

    return {
        .id = Uuid::random(),
        .framework = profile.framework,
        .rank = rank,
        .badge = badge,
        .reasoning = std::move(reasoning),
        .pros = profile.pros,
        .cons = profile.cons,
        .bestFor = profile.bestFor,
        .installInstructions = profile.notes,
        .installCommand = profile.installCommand,
        .estimatedSetupMinutes = profile.setupMinutes,
        .requiresPython = profile.requiresPython,
        .requiresXcode = profile.requiresXcode,
        .memoryOverheadGB = profile.memoryOverheadGB,
        .activelyMaintained = profile.activelyMaintained,
        .lastUpdated = profile.lastUpdated,
        .githubStars = profile.githubStars,
        .officialWebsite = profile.officialWebsite,
    };
}
