#include "UserRecommendationContext.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

std::string description(UserRecommendationContext::SpeedPreference preference)
{
    return rawValue(preference);
}

std::int64_t minimumTokens(UserRecommendationContext::ContextLength length)
{
    switch (length) {
    case UserRecommendationContext::ContextLength::short_:
        return 4000;
    case UserRecommendationContext::ContextLength::medium:
        return 32000;
    case UserRecommendationContext::ContextLength::long_:
        return 100000;
    }
    return 4000;
}

void to_json(Json& j, const ModelPerformanceRecord& r)
{
    j = Json {{"id", r.id}, {"modelName", r.modelName}, {"framework", r.framework}, {"firstUsed", r.firstUsed},
        {"lastUsed", r.lastUsed}, {"totalSessionCount", r.totalSessionCount},
        {"averageSessionMinutes", r.averageSessionMinutes}};
    putOptional(j, "userRating", r.userRating);
    putOptional(j, "notesFromUser", r.notesFromUser);
}

void from_json(const Json& j, ModelPerformanceRecord& r)
{
    r.id = require<Uuid>(j, "id");
    r.modelName = require<std::string>(j, "modelName");
    r.framework = require<InferenceFramework>(j, "framework");
    r.firstUsed = require<Date>(j, "firstUsed");
    r.lastUsed = require<Date>(j, "lastUsed");
    r.totalSessionCount = require<std::int64_t>(j, "totalSessionCount");
    r.averageSessionMinutes = require<double>(j, "averageSessionMinutes");
    r.userRating = optional<std::int64_t>(j, "userRating");
    r.notesFromUser = optional<std::string>(j, "notesFromUser");
}
