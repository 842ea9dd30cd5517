#pragma once

#include "AdvisorVocabulary.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Benchmark results in percent (absent where unknown), the catalogue's own 0-10 ratings and
// the MT-Bench figure on its 0-10 scale.
struct CapabilityScores
{
    std::optional<double> mmlu;
    double generalQuality = 0;
    std::optional<double> humanEval;
    std::optional<double> mbpp;
    double codingScore = 0;
    std::optional<double> gsm8k;
    std::optional<double> math;
    double reasoningScore = 0;
    std::optional<double> mtBench;
    double instructionScore = 0;
    double multilingualScore = 0;
    std::string benchmarkSource;
    std::string benchmarkDate;

    bool operator==(const CapabilityScores&) const = default;
};

// One quantization variant of a model; sizes in GB as the catalogue states them.
struct MemoryProfile
{
    QuantizationLevel quantization = QuantizationLevel::q4;
    double runtimeFootprintGB = 0;
    double downloadSizeGB = 0;
    double qualityRetentionPercent = 0;
    bool isRecommendedQuantization = false;

    bool operator==(const MemoryProfile&) const = default;
};

// Measured speed of a model on one chip class.
struct PerformanceProfile
{
    ChipClass chipClass = ChipClass::m1Base;
    double tokensPerSecondSimple = 0;
    double tokensPerSecondComplex = 0;
    double timeToFirstTokenSeconds = 0;
    double prefillSpeedTokensPerSecond = 0;
    std::string measurementDate;
    std::string measurementSource;

    bool operator==(const PerformanceProfile&) const = default;
};

// One row of the model catalogue. `id` is an Ollama model tag ("llama3.1:8b").
struct ModelProfile
{
    std::string id;
    std::string displayName;
    std::string family;
    std::string publisher;
    std::string description;
    std::string releaseDate;
    bool isPopular = false;
    CapabilityScores scores;
    // Keys equal the values' quantization (resp. chip class). The quantization map iterates from
    // least to most precise.
    std::map<QuantizationLevel, MemoryProfile> memoryProfiles;
    std::map<ChipClass, PerformanceProfile> performanceProfiles;
    std::vector<UseCase> strongUseCases;
    std::vector<UseCase> weakUseCases;
    std::int64_t contextWindowTokens = 0;
    ThermalImpact thermalImpact = ThermalImpact::minimal;
    std::vector<InferenceFramework> availableVia;
    // Runtimes in availableVia may have no command.
    std::map<InferenceFramework, std::string> installCommands;
    std::vector<std::string> tags;
    double downloadSizeGB = 0;
    std::optional<std::string> notes;

    bool operator==(const ModelProfile&) const = default;
};

void to_json(Json& j, const CapabilityScores& s);
void from_json(const Json& j, CapabilityScores& s);
void to_json(Json& j, const MemoryProfile& p);
void from_json(const Json& j, MemoryProfile& p);
void to_json(Json& j, const PerformanceProfile& p);
void from_json(const Json& j, PerformanceProfile& p);
void to_json(Json& j, const ModelProfile& m);
void from_json(const Json& j, ModelProfile& m);

template<> struct std::hash<CapabilityScores>
{
    std::size_t operator()(const CapabilityScores& s) const noexcept;
};
template<> struct std::hash<MemoryProfile>
{
    std::size_t operator()(const MemoryProfile& p) const noexcept;
};
template<> struct std::hash<PerformanceProfile>
{
    std::size_t operator()(const PerformanceProfile& p) const noexcept;
};
template<> struct std::hash<ModelProfile>
{
    std::size_t operator()(const ModelProfile& m) const noexcept;
};
