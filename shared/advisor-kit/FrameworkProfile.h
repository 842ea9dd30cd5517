#pragma once

#include "AdvisorVocabulary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One row of the runtime catalogue. Encodable, deliberately without equality.
struct FrameworkProfile
{
    InferenceFramework framework = InferenceFramework::ollama;
    std::string displayName;
    std::string tagline;
    std::string description;
    std::vector<std::string> pros;
    std::vector<std::string> cons;
    std::vector<UseCase> bestFor;
    bool requiresPython = false;
    bool requiresXcode = false;
    double memoryOverheadGB = 0;
    std::int64_t setupMinutes = 0;
    std::string installCommand;
    std::string verifyCommand;
    std::string officialWebsite;
    std::optional<std::int64_t> githubStars;
    bool activelyMaintained = false;
    std::string lastUpdated;
    std::optional<std::string> apiEndpoint;
    bool openAICompatible = false;
    std::string notes;
};

void to_json(Json& j, const FrameworkProfile& p);
void from_json(const Json& j, FrameworkProfile& p);
