#pragma once

#include "AdvisorVocabulary.h"
#include "ModelProfile.h"

#include "core/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One recommended model with everything the recommendation card shows about it.
struct ModelRecommendation
{
    enum class Badge { bestForYou, highestQuality, fastest, mostEfficient, alreadyHave, tryThis };

    struct ReasoningPoint
    {
        Uuid id;
        std::string icon;
        std::string text;
        // A point in the model's favour.
        bool isPositive = false;
    };

    struct Tradeoff
    {
        enum class Severity { minor, moderate, significant };

        Uuid id;
        std::string description;
        Severity severity = Severity::minor;

        std::string severityIcon() const;
    };

    struct ClosedRange
    {
        double lowerBound = 0;
        double upperBound = 0;
    };

    struct ExpectedPerformance
    {
        ClosedRange tokensPerSecondRange; // NaN bounds where the chip tables do not describe this machine
        double memoryFootprintGB = 0;
        double headroomRemainingGB = 0;
        double timeToFirstTokenSeconds = 0;
        bool willCauseThrottling = false;
        bool compatibleWithBuilds = false;
        std::optional<std::int64_t> percentileVsUserHistory;
    };

    Uuid id;
    ModelProfile model;
    MemoryProfile variant;
    InferenceFramework framework = InferenceFramework::ollama;
    std::int64_t rank = 0;
    double score = 0;
    std::optional<Badge> badge;
    double confidence = 0;
    std::vector<ReasoningPoint> reasoning;
    std::vector<Tradeoff> tradeoffs;
    ExpectedPerformance expectedPerformance;
    bool alreadyInstalled = false;
    std::string installCommand;
    std::optional<std::string> warning;

    // "21–34 tok/s · 4.9GB · 27.1GB free": speed bounds truncated, sizes with one decimal; a speed range
    // that is not a number (no figure for this processor) as "—".
    std::string performanceSummary() const;
};

template<> struct RawEnumTable<ModelRecommendation::Badge>
{
    static constexpr std::array cases {
        std::pair {ModelRecommendation::Badge::bestForYou, std::string_view("BEST FOR YOU")},
        std::pair {ModelRecommendation::Badge::highestQuality, std::string_view("HIGHEST QUALITY")},
        std::pair {ModelRecommendation::Badge::fastest, std::string_view("FASTEST")},
        std::pair {ModelRecommendation::Badge::mostEfficient, std::string_view("MOST EFFICIENT")},
        std::pair {ModelRecommendation::Badge::alreadyHave, std::string_view("ALREADY INSTALLED")},
        std::pair {ModelRecommendation::Badge::tryThis, std::string_view("TRY THIS NEXT")},
    };
};

template<> struct RawEnumTable<ModelRecommendation::Tradeoff::Severity>
{
    static constexpr std::array cases {
        std::pair {ModelRecommendation::Tradeoff::Severity::minor, std::string_view("minor")},
        std::pair {ModelRecommendation::Tradeoff::Severity::moderate, std::string_view("moderate")},
        std::pair {ModelRecommendation::Tradeoff::Severity::significant, std::string_view("significant")},
    };
};

void to_json(Json& j, const ModelRecommendation::ReasoningPoint& p);
void from_json(const Json& j, ModelRecommendation::ReasoningPoint& p);
void to_json(Json& j, const ModelRecommendation::Tradeoff& t);
void from_json(const Json& j, ModelRecommendation::Tradeoff& t);
