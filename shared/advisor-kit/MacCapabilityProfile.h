#pragma once

#include "AdvisorVocabulary.h"

#include "core/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the advisor knows about this machine, and what it derives from that for the views.
// Encodable, deliberately without equality.
struct MacCapabilityProfile
{
    enum class ThermalHeadroom { excellent, adequate, tight };
    enum class SpeedClass { slow, moderate, fast, veryFast };

    // One row of the "what this machine can run" list. A new id for every row made.
    struct Capability
    {
        Uuid id;
        std::string name;
        bool possible = false;
        std::optional<std::string> quality;
        std::string icon;
        std::string detail;
    };

    // The memory that 70B and 405B models need; the rows below and the advice on upgrading both use them.
    static constexpr double k70BMemoryGB = 48;
    static constexpr double k405BMemoryGB = 192;

    ChipClass chipClass = ChipClass::m1Base;
    double totalMemoryGB = 0;
    std::int64_t cpuCores = 0;
    std::int64_t gpuCores = 0;
    std::int64_t neuralEngineCores = 0;
    double memoryBandwidthGBs = 0;
    double availableMemoryGB = 0;
    double typicalFreeHeadroomGB = 0;
    ThermalHeadroom thermalHeadroom = ThermalHeadroom::excellent;
    double storageFreeSSD = 0;
    // Whether the chip is an Apple one. Elsewhere the chip class is only detection's fallback, and what
    // the chip tables give (speeds, neural cores, bandwidth, GPU cores) does not describe this machine.
    // Neither field is encoded: detection fills them in.
    bool appleSilicon = true;
    std::string processorName; // the processor's own name, as the kernel gives it; empty when unknown

    // The placeholder shown until detection has run: a base 8 GB M1.
    static const MacCapabilityProfile& defaultProfile();

    // Total memory less a reserve that grows as the thermal margin shrinks; never negative.
    double maximumModelSizeGB() const;
    double maximumModelSizeForBuildsGB() const;
    // A negative or NaN bandwidth (failed detection) counts as slow; an infinite one as very fast.
    SpeedClass estimatedInferenceSpeedClass() const;
    // What the machine can run, by total memory; off Apple silicon the speed words and quality classes
    // are "—", since nothing here measures how fast other hardware runs a model.
    std::vector<Capability> capabilities() const;
};

std::string description(MacCapabilityProfile::SpeedClass speed);

template<> struct RawEnumTable<MacCapabilityProfile::ThermalHeadroom>
{
    static constexpr std::array cases {
        std::pair {MacCapabilityProfile::ThermalHeadroom::excellent, std::string_view("excellent")},
        std::pair {MacCapabilityProfile::ThermalHeadroom::adequate, std::string_view("adequate")},
        std::pair {MacCapabilityProfile::ThermalHeadroom::tight, std::string_view("tight")},
    };
};

template<> struct RawEnumTable<MacCapabilityProfile::SpeedClass>
{
    static constexpr std::array cases {
        std::pair {MacCapabilityProfile::SpeedClass::slow, std::string_view("slow")},
        std::pair {MacCapabilityProfile::SpeedClass::moderate, std::string_view("moderate")},
        std::pair {MacCapabilityProfile::SpeedClass::fast, std::string_view("fast")},
        std::pair {MacCapabilityProfile::SpeedClass::veryFast, std::string_view("veryFast")},
    };
};

void to_json(Json& j, const MacCapabilityProfile& p);
void from_json(const Json& j, MacCapabilityProfile& p);
