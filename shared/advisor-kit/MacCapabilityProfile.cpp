#include "MacCapabilityProfile.h"

#include <cmath>

using jsoncodec::require;

const MacCapabilityProfile& MacCapabilityProfile::defaultProfile()
{
    static const MacCapabilityProfile profile {
        ChipClass::m1Base, 8.0, 8, 8, 16, 68.25, 4.0, 4.0, ThermalHeadroom::excellent, 256.0, true, {}};
    return profile;
}

double MacCapabilityProfile::maximumModelSizeGB() const
{
    double reserve = 8;
    if (thermalHeadroom == ThermalHeadroom::adequate)
        reserve = 12;
    else if (thermalHeadroom == ThermalHeadroom::tight)
        reserve = 16;
    const double size = totalMemoryGB - reserve;
    return size < 0 ? 0 : size;
}

double MacCapabilityProfile::maximumModelSizeForBuildsGB() const
{
    const double size = typicalFreeHeadroomGB - 24;
    return size < 0 ? 0 : size;
}

MacCapabilityProfile::SpeedClass MacCapabilityProfile::estimatedInferenceSpeedClass() const
{
    const double b = memoryBandwidthGBs;
    if (std::isnan(b) || b < 100)
        return SpeedClass::slow;
    if (b < 200)
        return SpeedClass::moderate;
    if (b < 400)
        return SpeedClass::fast;
    return SpeedClass::veryFast;
}

std::vector<MacCapabilityProfile::Capability> MacCapabilityProfile::capabilities() const
{
    const double t = totalMemoryGB;
    const std::string yes = "checkmark.circle.fill";
    const std::string no = "xmark.circle";
    // Whether a model fits follows from memory alone; how fast and how well it runs is known only for
    // Apple chips. Elsewhere, with no source for the graphics hardware, those words give way to "—".
    const bool rated = appleSilicon;
    const std::string dash = "\u2014";
    std::vector<Capability> rows;
    const auto add = [&](std::string name, bool possible, std::optional<std::string> quality, std::string icon,
                         std::string detail, bool detailRatesSpeed) {
        if (!rated && quality)
            quality = dash;
        if (!rated && detailRatesSpeed)
            detail = dash;
        rows.push_back(
            {Uuid::random(), std::move(name), possible, std::move(quality), std::move(icon), std::move(detail)});
    };

    if (t >= 8)
        add("7B parameter models", true, "Good", yes, "Fast, practical for most tasks", true);
    if (t >= 16)
        add("13B parameter models", true, "Good", yes, "Better quality, still responsive", true);
    if (t >= 32)
        add("34B parameter models", true, "Excellent", yes, "High quality across all tasks", false);
    if (t >= k70BMemoryGB)
        add("70B parameter models", true, "Excellent", yes, "Near-frontier quality locally", false);
    else
        add("70B parameter models", false, std::nullopt, no, "Needs 48GB+ RAM", false);
    if (t >= k405BMemoryGB)
        add("405B parameter models", true, "Maximum", "star.circle.fill", "Frontier-class local inference", false);
    else
        add("405B parameter models", false, std::nullopt, no, "Needs 192GB+ RAM", false);
    add("Image generation (SDXL)", t >= 8, t >= 16 ? "Fast" : "Slow", t >= 8 ? yes : no,
        t >= 16 ? "Generates in seconds" : "Possible but slow", true);
    add("Real-time voice (Whisper)", true, "Excellent", yes, "Apple Silicon excels at this", true);
    add("128K context window", t >= 32, t >= 64 ? "Fast" : "Slow", t >= 32 ? yes : no,
        t >= 64 ? "Handles large codebases well" : "Possible but slow for large contexts", true);
    return rows;
}

std::string description(MacCapabilityProfile::SpeedClass speed)
{
    switch (speed) {
    case MacCapabilityProfile::SpeedClass::slow:
        return "8-15 tok/s (M1 base)";
    case MacCapabilityProfile::SpeedClass::moderate:
        return "15-35 tok/s";
    case MacCapabilityProfile::SpeedClass::fast:
        return "35-60 tok/s";
    case MacCapabilityProfile::SpeedClass::veryFast:
        return "60+ tok/s";
    }
    return {};
}

void to_json(Json& j, const MacCapabilityProfile& p)
{
    j = Json {{"chipClass", p.chipClass}, {"totalMemoryGB", p.totalMemoryGB}, {"cpuCores", p.cpuCores},
        {"gpuCores", p.gpuCores}, {"neuralEngineCores", p.neuralEngineCores},
        {"memoryBandwidthGBs", p.memoryBandwidthGBs}, {"availableMemoryGB", p.availableMemoryGB},
        {"typicalFreeHeadroomGB", p.typicalFreeHeadroomGB}, {"thermalHeadroom", p.thermalHeadroom},
        {"storageFreeSSD", p.storageFreeSSD}};
}

void from_json(const Json& j, MacCapabilityProfile& p)
{
    p.chipClass = require<ChipClass>(j, "chipClass");
    p.totalMemoryGB = require<double>(j, "totalMemoryGB");
    p.cpuCores = require<std::int64_t>(j, "cpuCores");
    p.gpuCores = require<std::int64_t>(j, "gpuCores");
    p.neuralEngineCores = require<std::int64_t>(j, "neuralEngineCores");
    p.memoryBandwidthGBs = require<double>(j, "memoryBandwidthGBs");
    p.availableMemoryGB = require<double>(j, "availableMemoryGB");
    p.typicalFreeHeadroomGB = require<double>(j, "typicalFreeHeadroomGB");
    p.thermalHeadroom = require<MacCapabilityProfile::ThermalHeadroom>(j, "thermalHeadroom");
    p.storageFreeSSD = require<double>(j, "storageFreeSSD");
}
