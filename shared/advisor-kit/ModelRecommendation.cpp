#include "ModelRecommendation.h"
#include "TruncatedInteger.h"

#include "core/NumberFormat.h"

#include <cmath>

using jsoncodec::require;

std::string ModelRecommendation::Tradeoff::severityIcon() const
{
    switch (severity) {
    case Severity::minor:
        return "minus";
    case Severity::moderate:
        return "arrow.down";
    case Severity::significant:
        return "exclamationmark";
    }
    return {};
}

std::string ModelRecommendation::performanceSummary() const
{
    const auto& p = expectedPerformance;
    const auto& range = p.tokensPerSecondRange;
    const std::string speed = std::isfinite(range.lowerBound) && std::isfinite(range.upperBound)
        ? std::to_string(truncatedInteger(range.lowerBound)) + "\u2013"
            + std::to_string(truncatedInteger(range.upperBound))
        : "\u2014";
    return speed + " tok/s \u00b7 " + cformat("%.1f", p.memoryFootprintGB) + "GB \u00b7 "
        + cformat("%.1f", p.headroomRemainingGB) + "GB free";
}

void to_json(Json& j, const ModelRecommendation::ReasoningPoint& p)
{
    j = Json {{"id", p.id}, {"icon", p.icon}, {"text", p.text}, {"isPositive", p.isPositive}};
}

void from_json(const Json& j, ModelRecommendation::ReasoningPoint& p)
{
    p.id = require<Uuid>(j, "id");
    p.icon = require<std::string>(j, "icon");
    p.text = require<std::string>(j, "text");
    p.isPositive = require<bool>(j, "isPositive");
}

void to_json(Json& j, const ModelRecommendation::Tradeoff& t)
{
    j = Json {{"id", t.id}, {"description", t.description}, {"severity", t.severity}};
}

void from_json(const Json& j, ModelRecommendation::Tradeoff& t)
{
    t.id = require<Uuid>(j, "id");
    t.description = require<std::string>(j, "description");
    t.severity = require<ModelRecommendation::Tradeoff::Severity>(j, "severity");
}
