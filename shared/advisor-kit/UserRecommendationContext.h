#pragma once

#include "AdvisorVocabulary.h"
#include "MacCapabilityProfile.h"

#include "core/Date.h"
#include "core/Uuid.h"
#include "engines/OllamaModel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The user's history with one model.
struct ModelPerformanceRecord
{
    Uuid id;
    std::string modelName;
    InferenceFramework framework = InferenceFramework::ollama;
    Date firstUsed;
    Date lastUsed;
    std::int64_t totalSessionCount = 0;
    double averageSessionMinutes = 0;
    // 3 is neutral.
    std::optional<std::int64_t> userRating;
    std::optional<std::string> notesFromUser;
};

void to_json(Json& j, const ModelPerformanceRecord& r);
void from_json(const Json& j, ModelPerformanceRecord& r);

// The single input of both recommendation engines: this machine, the questionnaire's answers,
// the user's history and what the local Ollama server already holds.
struct UserRecommendationContext
{
    enum class SpeedPreference { fastest, balanced, quality };
    enum class ContextLength { short_, medium, long_ };

    MacCapabilityProfile macProfile;
    UseCase primaryUseCase = UseCase::coding;
    SpeedPreference speedPreference = SpeedPreference::balanced;
    ContextLength contextLengthNeeded = ContextLength::short_;
    bool runsAlongsideBuilds = false;
    // Absent means no preference.
    std::optional<InferenceFramework> preferredFramework;
    std::vector<ModelPerformanceRecord> triedModels;
    std::vector<OllamaModel> installedModels;
};

// The same text as the raw value.
std::string description(UserRecommendationContext::SpeedPreference preference);
// The smallest context window, in tokens, that satisfies the answer.
std::int64_t minimumTokens(UserRecommendationContext::ContextLength length);

template<> struct RawEnumTable<UserRecommendationContext::SpeedPreference>
{
    static constexpr std::array cases {
        std::pair {UserRecommendationContext::SpeedPreference::fastest, std::string_view("Fastest responses")},
        std::pair {UserRecommendationContext::SpeedPreference::balanced, std::string_view("Balanced")},
        std::pair {UserRecommendationContext::SpeedPreference::quality, std::string_view("Best quality (I'll wait)")},
    };
};

template<> struct RawEnumTable<UserRecommendationContext::ContextLength>
{
    static constexpr std::array cases {
        std::pair {UserRecommendationContext::ContextLength::short_, std::string_view("Short conversations")},
        std::pair {UserRecommendationContext::ContextLength::medium, std::string_view("Medium (code files, articles)")},
        std::pair {UserRecommendationContext::ContextLength::long_, std::string_view("Long (large codebases, books)")},
    };
};
