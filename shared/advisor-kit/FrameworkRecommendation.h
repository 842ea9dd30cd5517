#pragma once

#include "AdvisorVocabulary.h"

#include "core/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One recommended runtime: its rank, why, and the catalogue facts the runtime card shows.
struct FrameworkRecommendation
{
    Uuid id;
    InferenceFramework framework = InferenceFramework::ollama;
    std::int64_t rank = 0;
    // "RECOMMENDED", "FASTEST" or "EFFICIENT"; absent when there is none.
    std::optional<std::string> badge;
    std::vector<std::string> reasoning;
    std::vector<std::string> pros;
    std::vector<std::string> cons;
    std::vector<UseCase> bestFor;
    std::string installInstructions;
    std::string installCommand;
    std::int64_t estimatedSetupMinutes = 0;
    bool requiresPython = false;
    bool requiresXcode = false;
    double memoryOverheadGB = 0;
    bool activelyMaintained = false;
    std::string lastUpdated;
    std::optional<std::int64_t> githubStars;
    std::string officialWebsite;
};
