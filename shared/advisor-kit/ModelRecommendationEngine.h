#pragma once

#include "ModelProfile.h"
#include "ModelRecommendation.h"
#include "UserRecommendationContext.h"

#include "engines/OllamaModel.h"

#include <optional>
#include <vector>

// Ranks the catalogue's models for one context: which variant fits the memory the machine can
// spare, whether the model meets the context, runtime and build constraints, how well it scores
// for this user, and what the card says about it. The catalogue copy never changes after
// construction, so calls from any thread are independent and need no lock.
class ModelRecommendationEngine
{
public:
    // Works on a copy of ModelDatabase::all().
    ModelRecommendationEngine();
    // Works on the given rows instead of the built-in catalogue.
    explicit ModelRecommendationEngine(std::vector<ModelProfile> database);

    const std::vector<ModelProfile>& database() const { return m_database; }

    // At most `limit` records, best first, ranked from 1. Empty when nothing fits or limit <= 0.
    std::vector<ModelRecommendation> recommend(const UserRecommendationContext& context, int limit) const;

    // Memory kept back from the total before any model is placed; it grows with total memory and
    // when builds run alongside. The budget for a model is total memory minus this reserve.
    static double memoryReserveGB(double totalMemoryGB, bool runsAlongsideBuilds);
    // What a model may take while builds run beside it: the memory free in everyday use less the
    // builds' reserve, never below 0. With builds, no model larger than this is recommended.
    static double buildHeadroomGB(const MacCapabilityProfile& profile);

    // A model with the variant it would run at.
    struct Candidate
    {
        ModelProfile model;
        MemoryProfile variant;
    };
    // The model that needs the least memory among those every test but the build headroom keeps:
    // what would fit with more room beside the builds. None when the other tests keep no model.
    std::optional<Candidate> smallestCandidateBesideBuilds(const UserRecommendationContext& context) const;

    // Whether the Ollama server already holds the model: the whole tag must match, ignoring case.
    // An untagged or ":latest" name matches only a row whose id or Ollama pull command is untagged.
    static bool isInstalled(const ModelProfile& model, const std::vector<OllamaModel>& installedModels);

private:
    static std::optional<MemoryProfile> selectVariant(
        const ModelProfile& model, const UserRecommendationContext& context);
    // Context length and runtime: the tests besides memory.
    static bool meetsAnswers(const ModelProfile& model, const UserRecommendationContext& context);
    static double expectedTokensPerSecond(const ModelProfile& model, ChipClass chip);
    static double scoreModel(const ModelProfile& model, const UserRecommendationContext& context);
    static ModelRecommendation buildRecommendation(const ModelProfile& model, const MemoryProfile& variant, int rank,
        const UserRecommendationContext& context, double score);

    std::vector<ModelProfile> m_database;
};
