#include "FrameworkProfile.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

void to_json(Json& j, const FrameworkProfile& p)
{
    j = Json {{"framework", p.framework}, {"displayName", p.displayName}, {"tagline", p.tagline},
        {"description", p.description}, {"pros", p.pros}, {"cons", p.cons}, {"bestFor", p.bestFor},
        {"requiresPython", p.requiresPython}, {"requiresXcode", p.requiresXcode},
        {"memoryOverheadGB", p.memoryOverheadGB}, {"setupMinutes", p.setupMinutes},
        {"installCommand", p.installCommand}, {"verifyCommand", p.verifyCommand},
        {"officialWebsite", p.officialWebsite}, {"activelyMaintained", p.activelyMaintained},
        {"lastUpdated", p.lastUpdated}, {"openAICompatible", p.openAICompatible}, {"notes", p.notes}};
    putOptional(j, "githubStars", p.githubStars);
    putOptional(j, "apiEndpoint", p.apiEndpoint);
}

void from_json(const Json& j, FrameworkProfile& p)
{
    p.framework = require<InferenceFramework>(j, "framework");
    p.displayName = require<std::string>(j, "displayName");
    p.tagline = require<std::string>(j, "tagline");
    p.description = require<std::string>(j, "description");
    p.pros = require<std::vector<std::string>>(j, "pros");
    p.cons = require<std::vector<std::string>>(j, "cons");
    p.bestFor = require<std::vector<UseCase>>(j, "bestFor");
    p.requiresPython = require<bool>(j, "requiresPython");
    p.requiresXcode = require<bool>(j, "requiresXcode");
    p.memoryOverheadGB = require<double>(j, "memoryOverheadGB");
    p.setupMinutes = require<std::int64_t>(j, "setupMinutes");
    p.installCommand = require<std::string>(j, "installCommand");
    p.verifyCommand = require<std::string>(j, "verifyCommand");
    p.officialWebsite = require<std::string>(j, "officialWebsite");
    p.githubStars = optional<std::int64_t>(j, "githubStars");
    p.activelyMaintained = require<bool>(j, "activelyMaintained");
    p.lastUpdated = require<std::string>(j, "lastUpdated");
    p.apiEndpoint = optional<std::string>(j, "apiEndpoint");
    p.openAICompatible = require<bool>(j, "openAICompatible");
    p.notes = require<std::string>(j, "notes");
}
