#include "ModelProfile.h"

using jsoncodec::optional;
using jsoncodec::putOptional;
using jsoncodec::require;

namespace {

// A dictionary whose key is an enumeration is coded as a flat array alternating the key's raw
// text and the value.
template<class K, class V> Json encodeKeyedArray(const std::map<K, V>& map)
{
    Json out = Json::array();
    for (const auto& [key, value] : map) {
        out.push_back(rawValue(key));
        out.push_back(value);
    }
    return out;
}

template<class K, class V> std::map<K, V> decodeKeyedArray(const Json& object, const char* key)
{
    if (!object.is_object())
        throw JsonDecodeError("expected an object");
    const auto it = object.find(key);
    if (it == object.end())
        throw JsonDecodeError(std::string("missing key ") + key);
    const Json& array = *it;
    if (!array.is_array() || array.size() % 2 != 0)
        throw JsonDecodeError(std::string("expected key-value pairs under ") + key);
    std::map<K, V> out;
    for (std::size_t i = 0; i < array.size(); i += 2)
        out[jsoncodec::decode<K>(array[i])] = jsoncodec::decode<V>(array[i + 1]);
    return out;
}

template<class T> void hashInto(std::size_t& seed, const T& value)
{
    seed ^= std::hash<T> {}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

template<class T> void hashInto(std::size_t& seed, const std::optional<T>& value)
{
    hashInto(seed, value.has_value());
    if (value)
        hashInto(seed, *value);
}

template<class T> void hashInto(std::size_t& seed, const std::vector<T>& values)
{
    hashInto(seed, values.size());
    for (const auto& v : values)
        hashInto(seed, v);
}

template<class K, class V> void hashInto(std::size_t& seed, const std::map<K, V>& map)
{
    hashInto(seed, map.size());
    for (const auto& [key, value] : map) {
        hashInto(seed, key);
        hashInto(seed, value);
    }
}

} // namespace

void to_json(Json& j, const CapabilityScores& s)
{
    j = Json {{"generalQuality", s.generalQuality}, {"codingScore", s.codingScore},
        {"reasoningScore", s.reasoningScore}, {"instructionScore", s.instructionScore},
        {"multilingualScore", s.multilingualScore}, {"benchmarkSource", s.benchmarkSource},
        {"benchmarkDate", s.benchmarkDate}};
    putOptional(j, "mmlu", s.mmlu);
    putOptional(j, "humanEval", s.humanEval);
    putOptional(j, "mbpp", s.mbpp);
    putOptional(j, "gsm8k", s.gsm8k);
    putOptional(j, "math", s.math);
    putOptional(j, "mtBench", s.mtBench);
}

void from_json(const Json& j, CapabilityScores& s)
{
    s.mmlu = optional<double>(j, "mmlu");
    s.generalQuality = require<double>(j, "generalQuality");
    s.humanEval = optional<double>(j, "humanEval");
    s.mbpp = optional<double>(j, "mbpp");
    s.codingScore = require<double>(j, "codingScore");
    s.gsm8k = optional<double>(j, "gsm8k");
    s.math = optional<double>(j, "math");
    s.reasoningScore = require<double>(j, "reasoningScore");
    s.mtBench = optional<double>(j, "mtBench");
    s.instructionScore = require<double>(j, "instructionScore");
    s.multilingualScore = require<double>(j, "multilingualScore");
    s.benchmarkSource = require<std::string>(j, "benchmarkSource");
    s.benchmarkDate = require<std::string>(j, "benchmarkDate");
}

void to_json(Json& j, const MemoryProfile& p)
{
    j = Json {{"quantization", p.quantization}, {"runtimeFootprintGB", p.runtimeFootprintGB},
        {"downloadSizeGB", p.downloadSizeGB}, {"qualityRetentionPercent", p.qualityRetentionPercent},
        {"isRecommendedQuantization", p.isRecommendedQuantization}};
}

void from_json(const Json& j, MemoryProfile& p)
{
    p.quantization = require<QuantizationLevel>(j, "quantization");
    p.runtimeFootprintGB = require<double>(j, "runtimeFootprintGB");
    p.downloadSizeGB = require<double>(j, "downloadSizeGB");
    p.qualityRetentionPercent = require<double>(j, "qualityRetentionPercent");
    p.isRecommendedQuantization = require<bool>(j, "isRecommendedQuantization");
}

void to_json(Json& j, const PerformanceProfile& p)
{
    j = Json {{"chipClass", p.chipClass}, {"tokensPerSecondSimple", p.tokensPerSecondSimple},
        {"tokensPerSecondComplex", p.tokensPerSecondComplex}, {"timeToFirstTokenSeconds", p.timeToFirstTokenSeconds},
        {"prefillSpeedTokensPerSecond", p.prefillSpeedTokensPerSecond}, {"measurementDate", p.measurementDate},
        {"measurementSource", p.measurementSource}};
}

void from_json(const Json& j, PerformanceProfile& p)
{
    p.chipClass = require<ChipClass>(j, "chipClass");
    p.tokensPerSecondSimple = require<double>(j, "tokensPerSecondSimple");
    p.tokensPerSecondComplex = require<double>(j, "tokensPerSecondComplex");
    p.timeToFirstTokenSeconds = require<double>(j, "timeToFirstTokenSeconds");
    p.prefillSpeedTokensPerSecond = require<double>(j, "prefillSpeedTokensPerSecond");
    p.measurementDate = require<std::string>(j, "measurementDate");
    p.measurementSource = require<std::string>(j, "measurementSource");
}

void to_json(Json& j, const ModelProfile& m)
{
    j = Json {{"id", m.id}, {"displayName", m.displayName}, {"family", m.family}, {"publisher", m.publisher},
        {"description", m.description}, {"releaseDate", m.releaseDate}, {"isPopular", m.isPopular},
        {"scores", m.scores}, {"memoryProfiles", encodeKeyedArray(m.memoryProfiles)},
        {"performanceProfiles", encodeKeyedArray(m.performanceProfiles)}, {"strongUseCases", m.strongUseCases},
        {"weakUseCases", m.weakUseCases}, {"contextWindowTokens", m.contextWindowTokens},
        {"thermalImpact", m.thermalImpact}, {"availableVia", m.availableVia},
        {"installCommands", encodeKeyedArray(m.installCommands)}, {"tags", m.tags},
        {"downloadSizeGB", m.downloadSizeGB}};
    putOptional(j, "notes", m.notes);
}

void from_json(const Json& j, ModelProfile& m)
{
    m.id = require<std::string>(j, "id");
    m.displayName = require<std::string>(j, "displayName");
    m.family = require<std::string>(j, "family");
    m.publisher = require<std::string>(j, "publisher");
    m.description = require<std::string>(j, "description");
    m.releaseDate = require<std::string>(j, "releaseDate");
    m.isPopular = require<bool>(j, "isPopular");
    m.scores = require<CapabilityScores>(j, "scores");
    m.memoryProfiles = decodeKeyedArray<QuantizationLevel, MemoryProfile>(j, "memoryProfiles");
    m.performanceProfiles = decodeKeyedArray<ChipClass, PerformanceProfile>(j, "performanceProfiles");
    m.strongUseCases = require<std::vector<UseCase>>(j, "strongUseCases");
    m.weakUseCases = require<std::vector<UseCase>>(j, "weakUseCases");
    m.contextWindowTokens = require<std::int64_t>(j, "contextWindowTokens");
    m.thermalImpact = require<ThermalImpact>(j, "thermalImpact");
    m.availableVia = require<std::vector<InferenceFramework>>(j, "availableVia");
    m.installCommands = decodeKeyedArray<InferenceFramework, std::string>(j, "installCommands");
    m.tags = require<std::vector<std::string>>(j, "tags");
    m.downloadSizeGB = require<double>(j, "downloadSizeGB");
    m.notes = optional<std::string>(j, "notes");
}

std::size_t std::hash<CapabilityScores>::operator()(const CapabilityScores& s) const noexcept
{
    std::size_t seed = 0;
    hashInto(seed, s.mmlu);
    hashInto(seed, s.generalQuality);
    hashInto(seed, s.humanEval);
    hashInto(seed, s.mbpp);
    hashInto(seed, s.codingScore);
    hashInto(seed, s.gsm8k);
    hashInto(seed, s.math);
    hashInto(seed, s.reasoningScore);
    hashInto(seed, s.mtBench);
    hashInto(seed, s.instructionScore);
    hashInto(seed, s.multilingualScore);
    hashInto(seed, s.benchmarkSource);
    hashInto(seed, s.benchmarkDate);
    return seed;
}

std::size_t std::hash<MemoryProfile>::operator()(const MemoryProfile& p) const noexcept
{
    std::size_t seed = 0;
    hashInto(seed, p.quantization);
    hashInto(seed, p.runtimeFootprintGB);
    hashInto(seed, p.downloadSizeGB);
    hashInto(seed, p.qualityRetentionPercent);
    hashInto(seed, p.isRecommendedQuantization);
    return seed;
}

std::size_t std::hash<PerformanceProfile>::operator()(const PerformanceProfile& p) const noexcept
{
    std::size_t seed = 0;
    hashInto(seed, p.chipClass);
    hashInto(seed, p.tokensPerSecondSimple);
    hashInto(seed, p.tokensPerSecondComplex);
    hashInto(seed, p.timeToFirstTokenSeconds);
    hashInto(seed, p.prefillSpeedTokensPerSecond);
    hashInto(seed, p.measurementDate);
    hashInto(seed, p.measurementSource);
    return seed;
}

std::size_t std::hash<ModelProfile>::operator()(const ModelProfile& m) const noexcept
{
    std::size_t seed = 0;
    hashInto(seed, m.id);
    hashInto(seed, m.displayName);
    hashInto(seed, m.family);
    hashInto(seed, m.publisher);
    hashInto(seed, m.description);
    hashInto(seed, m.releaseDate);
    hashInto(seed, m.isPopular);
    hashInto(seed, m.scores);
    hashInto(seed, m.memoryProfiles);
    hashInto(seed, m.performanceProfiles);
    hashInto(seed, m.strongUseCases);
    hashInto(seed, m.weakUseCases);
    hashInto(seed, m.contextWindowTokens);
    hashInto(seed, m.thermalImpact);
    hashInto(seed, m.availableVia);
    hashInto(seed, m.installCommands);
    hashInto(seed, m.tags);
    hashInto(seed, m.downloadSizeGB);
    hashInto(seed, m.notes);
    return seed;
}
