#include "advisor-kit/ModelDatabase.h"
#include "advisor-kit/FrameworkDatabase.h"
#include "advisor-kit/UserRecommendationContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <optional>
#include <set>

namespace {

std::vector<std::string> ids(const std::vector<ModelProfile>& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(r.id);
    return out;
}

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "2024-07"
bool isMonth(const std::string& text)
{
    return text.size() == 7 && isDigits(std::string_view(text).substr(0, 4)) && text[4] == '-'
        && isDigits(std::string_view(text).substr(5));
}

// "2024-Q3"
bool isQuarter(const std::string& text)
{
    return text.size() == 7 && isDigits(std::string_view(text).substr(0, 4)) && text.substr(4, 2) == "-Q"
        && text[6] >= '1' && text[6] <= '4';
}

// Lower-case words joined by single hyphens: "beginner-friendly", "8gb-friendly".
bool isTag(const std::string& text)
{
    if (text.empty() || text.front() == '-' || text.back() == '-' || text.find("--") != std::string::npos)
        return false;
    return std::all_of(
        text.begin(), text.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; });
}

bool inRange(double value, double low, double high)
{
    return value >= low && value <= high;
}

bool inRange(const std::optional<double>& value, double low, double high)
{
    return !value || inRange(*value, low, high);
}

} // namespace

TEST(ModelDatabaseTest, EveryModelRowHoldsTheCatalogueInvariants)
{
    std::set<std::string> seen;
    ASSERT_EQ(ModelDatabase::all().size(), 6u);
    for (const auto& m : ModelDatabase::all()) {
        SCOPED_TRACE(m.id);
        EXPECT_TRUE(seen.insert(m.id).second);
        EXPECT_NE(m.id.find(':'), std::string::npos);
        EXPECT_TRUE(isMonth(m.releaseDate));
        EXPECT_TRUE(isQuarter(m.scores.benchmarkDate));
        EXPECT_NE(m.scores.benchmarkSource.find('/'), std::string::npos);
        for (double rating : {m.scores.generalQuality, m.scores.codingScore, m.scores.reasoningScore,
                 m.scores.instructionScore, m.scores.multilingualScore})
            EXPECT_TRUE(inRange(rating, 0, 10));
        for (const auto& percent : {m.scores.mmlu, m.scores.humanEval, m.scores.mbpp, m.scores.gsm8k, m.scores.math})
            EXPECT_TRUE(inRange(percent, 0, 100));
        EXPECT_TRUE(inRange(m.scores.mtBench, 0, 10));

        ASSERT_FALSE(m.memoryProfiles.empty());
        int recommended = 0;
        for (const auto& [level, variant] : m.memoryProfiles) {
            EXPECT_EQ(variant.quantization, level);
            EXPECT_GT(variant.runtimeFootprintGB, 0);
            EXPECT_EQ(variant.runtimeFootprintGB, variant.downloadSizeGB);
            EXPECT_TRUE(inRange(variant.qualityRetentionPercent, 1, 100));
            if (variant.isRecommendedQuantization) {
                ++recommended;
                EXPECT_EQ(variant.downloadSizeGB, m.downloadSizeGB);
            }
        }
        EXPECT_EQ(recommended, 1);
        for (const auto& [chip, measured] : m.performanceProfiles) {
            EXPECT_EQ(measured.chipClass, chip);
            EXPECT_GT(measured.tokensPerSecondSimple, measured.tokensPerSecondComplex);
            EXPECT_GT(measured.tokensPerSecondComplex, 0);
            EXPECT_GT(measured.timeToFirstTokenSeconds, 0);
            EXPECT_GT(measured.prefillSpeedTokensPerSecond, 0);
            EXPECT_EQ(measured.measurementDate, "2025-01");
            EXPECT_EQ(measured.measurementSource, "community");
        }
        EXPECT_FALSE(m.strongUseCases.empty());
        EXPECT_GE(m.contextWindowTokens, minimumTokens(UserRecommendationContext::ContextLength::medium));
        // Every model can be pulled through Ollama, the runtime used when none is preferred.
        ASSERT_TRUE(m.installCommands.count(InferenceFramework::ollama));
        EXPECT_EQ(m.installCommands.at(InferenceFramework::ollama).rfind("ollama pull ", 0), 0u);
        for (const auto& [framework, command] : m.installCommands) {
            EXPECT_NE(std::find(m.availableVia.begin(), m.availableVia.end(), framework), m.availableVia.end());
            EXPECT_FALSE(command.empty());
        }
        for (const auto& t : m.tags)
            EXPECT_TRUE(isTag(t)) << t;
    }
}

TEST(ModelDatabaseTest, EveryChipClassHasTheFiguresTheEnginesLookUp)
{
    for (ChipClass chip : allCases<ChipClass>()) {
        SCOPED_TRACE(rawValue(chip));
        EXPECT_GT(memoryBandwidthGBs(chip), 0);
        EXPECT_TRUE(neuralEngineCores(chip) == 16 || neuralEngineCores(chip) == 32);
    }
    EXPECT_EQ(memoryBandwidthGBs(ChipClass::m1Base), 68.25);
    EXPECT_EQ(memoryBandwidthGBs(ChipClass::m4Max), 546);
}

TEST(ModelDatabaseTest, Queries)
{
    EXPECT_FALSE(ModelDatabase::model("mistral"));
    EXPECT_FALSE(ModelDatabase::model("Llama3.1:8b"));
    EXPECT_EQ(ModelDatabase::model("mistral:7b")->displayName, "Mistral 7B");

    EXPECT_EQ(ids(ModelDatabase::modelsFor(UseCase::coding)),
        (std::vector<std::string> {"llama3.1:8b", "llama3.1:70b", "deepseek-coder-v2:16b", "qwen2.5-coder:32b"}));
    EXPECT_TRUE(ModelDatabase::modelsFor(UseCase::translation).empty());

    EXPECT_EQ(ids(ModelDatabase::modelsFittingInGB(16)),
        (std::vector<std::string> {"llama3.1:8b", "mistral:7b", "phi3.5:3.8b"}));
    EXPECT_EQ(ids(ModelDatabase::modelsFittingInGB(12.2)), (std::vector<std::string> {"mistral:7b", "phi3.5:3.8b"}));
    EXPECT_EQ(ids(ModelDatabase::modelsFittingInGB(12.1)), (std::vector<std::string> {"phi3.5:3.8b"}));
    EXPECT_TRUE(ModelDatabase::modelsFittingInGB(8).empty());
    EXPECT_EQ(ids(ModelDatabase::modelsFittingInGB(50.5)),
        (std::vector<std::string> {
            "llama3.1:8b", "deepseek-coder-v2:16b", "qwen2.5-coder:32b", "mistral:7b", "phi3.5:3.8b"}));

    EXPECT_EQ(ModelDatabase::popularModels().size(), 5u);
    EXPECT_EQ(ModelDatabase::version, "1.0.0");
}

TEST(ModelDatabaseTest, EveryRuntimeRowHoldsTheCatalogueInvariants)
{
    const auto& rows = FrameworkDatabase::all();
    ASSERT_EQ(rows.size(), 5u);
    // Exactly the first five runtimes have rows, each once.
    const auto all = allCases<InferenceFramework>();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto count
            = std::count_if(rows.begin(), rows.end(), [&](const FrameworkProfile& p) { return p.framework == all[i]; });
        EXPECT_EQ(count, i < 5 ? 1 : 0) << rawValue(all[i]);
    }
    for (const auto& p : rows) {
        SCOPED_TRACE(p.displayName);
        EXPECT_GT(p.memoryOverheadGB, 0);
        EXPECT_GT(p.setupMinutes, 0);
        EXPECT_FALSE(p.pros.empty());
        EXPECT_FALSE(p.cons.empty());
        EXPECT_FALSE(p.bestFor.empty());
        EXPECT_FALSE(p.installCommand.empty());
        EXPECT_FALSE(p.verifyCommand.empty());
        EXPECT_EQ(p.officialWebsite.rfind("https://", 0), 0u);
        EXPECT_FALSE(p.requiresXcode);
        EXPECT_EQ(p.requiresPython, p.framework == InferenceFramework::mlx);
        if (p.apiEndpoint) {
            EXPECT_EQ(p.apiEndpoint->rfind("http://localhost:", 0), 0u);
        }
        EXPECT_EQ(!p.apiEndpoint, p.framework == InferenceFramework::mlx);
        EXPECT_EQ(!p.githubStars, p.framework == InferenceFramework::lmStudio);
    }
    const auto cheapest = std::min_element(
        rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.memoryOverheadGB < b.memoryOverheadGB; });
    EXPECT_EQ(cheapest->framework, InferenceFramework::llamaCpp);
}

// Every figure and text of the model catalogue, written out as the catalogue is published, so
// that a changed digit or word in any row fails here.
namespace {

using Q = QuantizationLevel;
using U = UseCase;
using F = InferenceFramework;

struct PublishedIdentity
{
    std::string id, displayName, family, publisher, releaseDate;
    bool isPopular;
    std::int64_t contextWindowTokens;
    ThermalImpact thermalImpact;
    double downloadSizeGB;
    std::string description;
    std::optional<std::string> notes;
};

const PublishedIdentity publishedIdentities[] = {
    {"llama3.1:8b", "Llama 3.1 8B", "Llama 3.1", "Meta", "2024-07", true, 128000, ThermalImpact::minimal, 4.7,
        "Fast, capable general-purpose model. Best value for machines with 8-16GB RAM.", std::nullopt},
    {"llama3.1:70b", "Llama 3.1 70B", "Llama 3.1", "Meta", "2024-07", true, 128000, ThermalImpact::moderate, 42.5,
        "High-quality large model for complex tasks. Needs 48GB+ RAM to run comfortably.",
        "Needs 48GB+ RAM for comfortable use. On 48GB machines, leaves little headroom for concurrent apps."},
    {"deepseek-coder-v2:16b", "DeepSeek Coder V2 16B", "DeepSeek Coder V2", "DeepSeek", "2024-06", true, 128000,
        ThermalImpact::minimal, 9.1, "Best-in-class coding model at 16B. Outperforms many larger models on code tasks.",
        "Exceptional coding performance relative to its size. First choice for developers on machines with 16-32GB "
        "RAM."},
    {"qwen2.5-coder:32b", "Qwen 2.5 Coder 32B", "Qwen 2.5", "Alibaba", "2024-11", true, 128000, ThermalImpact::moderate,
        19.4, "State-of-the-art coding model. Top scores on coding benchmarks.", std::nullopt},
    {"mistral:7b", "Mistral 7B", "Mistral", "Mistral AI", "2023-09", true, 32000, ThermalImpact::minimal, 4.1,
        "Efficient and fast. Good all-rounder for machines with limited RAM.",
        "Best choice for machines with 8-16GB RAM. Not recommended for complex coding tasks."},
    {"phi3.5:3.8b", "Phi 3.5 Mini 3.8B", "Phi 3.5", "Microsoft", "2024-08", false, 128000, ThermalImpact::minimal, 2.2,
        "Tiny but surprisingly capable. Best model for machines with 8GB RAM.",
        "Remarkable quality for its size. Best choice when RAM is the constraint."},
};

// One score field across the six rows, in catalogue order; nullopt where the row has no figure.
struct PublishedScore
{
    const char* field;
    std::optional<double> (*read)(const CapabilityScores&);
    std::array<std::optional<double>, 6> values;
};

const PublishedScore publishedScores[] = {
    {"mmlu", [](const CapabilityScores& s) { return s.mmlu; }, {73.0, 83.6, 78.9, 83.0, 62.5, 69.0}},
    {"generalQuality", [](const CapabilityScores& s) -> std::optional<double> { return s.generalQuality; },
        {7.2, 8.8, 7.8, 8.5, 6.8, 7.0}},
    {"humanEval", [](const CapabilityScores& s) { return s.humanEval; }, {72.6, 80.5, 90.2, 92.7, 30.5, 62.8}},
    {"mbpp", [](const CapabilityScores& s) { return s.mbpp; }, {72.8, 82.3, 84.7, 90.2, 45.1, 69.4}},
    {"codingScore", [](const CapabilityScores& s) -> std::optional<double> { return s.codingScore; },
        {7.1, 8.2, 9.2, 9.5, 5.5, 6.8}},
    {"gsm8k", [](const CapabilityScores& s) { return s.gsm8k; }, {84.4, 95.1, 88.5, 91.2, 52.1, 86.2}},
    {"math", [](const CapabilityScores& s) { return s.math; }, {51.9, 68.0, 75.7, 82.3, 13.1, 55.6}},
    {"reasoningScore", [](const CapabilityScores& s) -> std::optional<double> { return s.reasoningScore; },
        {7.0, 8.5, 8.0, 8.7, 5.8, 7.2}},
    {"mtBench", [](const CapabilityScores& s) { return s.mtBench; }, {8.22, 8.79, 8.4, 8.7, 7.6, std::nullopt}},
    {"instructionScore", [](const CapabilityScores& s) -> std::optional<double> { return s.instructionScore; },
        {8.2, 8.8, 8.3, 8.6, 7.5, 7.0}},
    {"multilingualScore", [](const CapabilityScores& s) -> std::optional<double> { return s.multilingualScore; },
        {6.5, 8.0, 7.2, 8.5, 6.0, 6.8}},
};

const std::array<const char*, 6> publishedBenchmarkSources = {"meta-llama/Meta-Llama-3.1-8B-Instruct",
    "meta-llama/Meta-Llama-3.1-70B-Instruct", "deepseek-ai/DeepSeek-Coder-V2-Instruct",
    "Qwen/Qwen2.5-Coder-32B-Instruct", "mistralai/Mistral-7B-Instruct-v0.3", "microsoft/Phi-3.5-mini-instruct"};
const std::array<const char*, 6> publishedBenchmarkDates
    = {"2024-Q3", "2024-Q3", "2024-Q2", "2024-Q4", "2024-Q2", "2024-Q3"};

// Rows are numbered from 1 in catalogue order.
struct PublishedVariant
{
    int row;
    QuantizationLevel level;
    double runtimeFootprintGB, downloadSizeGB, qualityRetentionPercent;
    bool isRecommended;
};

const PublishedVariant publishedVariants[] = {
    {1, Q::q4, 4.7, 4.7, 94, true},
    {1, Q::q8, 8.5, 8.5, 99, false},
    {1, Q::fp16, 16.0, 16.0, 100, false},
    {2, Q::q4, 42.5, 42.5, 95, true},
    {2, Q::q8, 75.0, 75.0, 99, false},
    {3, Q::q4, 9.1, 9.1, 95, true},
    {3, Q::q8, 16.5, 16.5, 99, false},
    {4, Q::q4, 19.4, 19.4, 95, true},
    {5, Q::q4, 4.1, 4.1, 93, true},
    {6, Q::q4, 2.2, 2.2, 93, true},
};

struct PublishedSpeed
{
    int row;
    ChipClass chip;
    double simple, complex, firstTokenSeconds, prefill;
};

const PublishedSpeed publishedSpeeds[] = {
    {1, ChipClass::m3Max, 82, 65, 0.3, 2800},
    {1, ChipClass::m3Pro, 55, 42, 0.4, 1800},
    {1, ChipClass::m2Max, 70, 55, 0.35, 2200},
    {1, ChipClass::m1Base, 26, 18, 0.7, 800},
    {2, ChipClass::m3Max, 32, 22, 1.2, 800},
    {2, ChipClass::m2Ultra, 45, 32, 0.8, 1200},
    {3, ChipClass::m3Max, 48, 38, 0.5, 1800},
    {4, ChipClass::m3Max, 34, 26, 0.7, 1200},
    {5, ChipClass::m3Max, 88, 70, 0.2, 3200},
    {5, ChipClass::m1Base, 22, 16, 0.8, 600},
    {6, ChipClass::m1Base, 45, 32, 0.3, 1200},
    {6, ChipClass::m3Max, 150, 110, 0.1, 5000},
};

struct PublishedLists
{
    std::vector<UseCase> strong, weak;
    std::vector<InferenceFramework> availableVia;
    std::map<InferenceFramework, std::string> installCommands;
    std::vector<std::string> tags;
};

const PublishedLists publishedLists[] = {
    {{U::generalChat, U::coding, U::writing, U::research}, {U::longContext, U::reasoning},
        {F::ollama, F::lmStudio, F::jan, F::mlx, F::llamaCpp},
        {{F::ollama, "ollama pull llama3.1:8b"},
            {F::mlx, "pip install mlx-lm && mlx_lm.generate --model mlx-community/Meta-Llama-3.1-8B-Instruct-4bit"}},
        {"fast", "efficient", "general", "popular", "beginner-friendly"}},
    {{U::reasoning, U::coding, U::research, U::systemsDesign, U::longContext}, {},
        {F::ollama, F::lmStudio, F::jan, F::mlx, F::llamaCpp}, {{F::ollama, "ollama pull llama3.1:70b"}},
        {"high-quality", "large", "popular", "coding", "reasoning"}},
    {{U::coding, U::codeCompletion, U::reasoning, U::dataAnalysis}, {U::writing, U::generalChat},
        {F::ollama, F::lmStudio}, {{F::ollama, "ollama pull deepseek-coder-v2:16b"}},
        {"coding", "fast", "efficient", "recommended-for-developers"}},
    {{U::coding, U::codeCompletion, U::dataAnalysis, U::reasoning}, {U::generalChat}, {F::ollama, F::lmStudio},
        {{F::ollama, "ollama pull qwen2.5-coder:32b"}}, {"coding", "high-quality", "state-of-the-art", "large"}},
    {{U::generalChat, U::writing, U::research}, {U::coding, U::reasoning, U::longContext},
        {F::ollama, F::lmStudio, F::jan, F::mlx, F::llamaCpp, F::gpt4all}, {{F::ollama, "ollama pull mistral"}},
        {"fast", "efficient", "beginner-friendly", "low-memory", "popular"}},
    {{U::codeCompletion, U::generalChat, U::writing}, {U::longContext, U::reasoning, U::dataAnalysis},
        {F::ollama, F::lmStudio, F::mlx}, {{F::ollama, "ollama pull phi3.5"}},
        {"tiny", "fast", "low-memory", "8gb-friendly", "surprisingly-capable"}},
};

const ModelProfile& catalogueRow(int row)
{
    return ModelDatabase::all().at(static_cast<std::size_t>(row - 1));
}

} // namespace

TEST(ModelDatabaseTest, IdentityAndTextsOfEveryRowAsPublished)
{
    EXPECT_EQ(ModelDatabase::lastUpdated, "2025-07");
    const auto& rows = ModelDatabase::all();
    ASSERT_EQ(rows.size(), std::size(publishedIdentities));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ModelProfile& m = rows[i];
        const PublishedIdentity& want = publishedIdentities[i];
        SCOPED_TRACE(want.id);
        EXPECT_EQ(m.id, want.id);
        EXPECT_EQ(m.displayName, want.displayName);
        EXPECT_EQ(m.family, want.family);
        EXPECT_EQ(m.publisher, want.publisher);
        EXPECT_EQ(m.releaseDate, want.releaseDate);
        EXPECT_EQ(m.isPopular, want.isPopular);
        EXPECT_EQ(m.contextWindowTokens, want.contextWindowTokens);
        EXPECT_EQ(m.thermalImpact, want.thermalImpact);
        EXPECT_EQ(m.downloadSizeGB, want.downloadSizeGB);
        EXPECT_EQ(m.description, want.description);
        EXPECT_EQ(m.notes, want.notes);
    }
}

TEST(ModelDatabaseTest, EveryBenchmarkFigureAsPublished)
{
    ASSERT_EQ(ModelDatabase::all().size(), 6u);
    for (int row = 1; row <= 6; ++row) {
        const CapabilityScores& s = catalogueRow(row).scores;
        SCOPED_TRACE(catalogueRow(row).id);
        for (const auto& field : publishedScores)
            EXPECT_EQ(field.read(s), field.values[row - 1]) << field.field;
        EXPECT_EQ(s.benchmarkSource, publishedBenchmarkSources[row - 1]);
        EXPECT_EQ(s.benchmarkDate, publishedBenchmarkDates[row - 1]);
    }
}

TEST(ModelDatabaseTest, EveryVariantAndMeasuredSpeedAsPublished)
{
    ASSERT_EQ(ModelDatabase::all().size(), 6u);
    for (int row = 1; row <= 6; ++row) {
        const ModelProfile& m = catalogueRow(row);
        SCOPED_TRACE(m.id);
        const auto variants = std::count_if(std::begin(publishedVariants), std::end(publishedVariants),
            [row](const PublishedVariant& v) { return v.row == row; });
        EXPECT_EQ(m.memoryProfiles.size(), static_cast<std::size_t>(variants));
        const auto speeds = std::count_if(std::begin(publishedSpeeds), std::end(publishedSpeeds),
            [row](const PublishedSpeed& p) { return p.row == row; });
        EXPECT_EQ(m.performanceProfiles.size(), static_cast<std::size_t>(speeds));
    }
    for (const auto& want : publishedVariants) {
        const ModelProfile& m = catalogueRow(want.row);
        SCOPED_TRACE(m.id + " " + std::string(rawValue(want.level)));
        const auto it = m.memoryProfiles.find(want.level);
        ASSERT_NE(it, m.memoryProfiles.end());
        EXPECT_EQ(it->second,
            (MemoryProfile {want.level, want.runtimeFootprintGB, want.downloadSizeGB, want.qualityRetentionPercent,
                want.isRecommended}));
    }
    for (const auto& want : publishedSpeeds) {
        const ModelProfile& m = catalogueRow(want.row);
        SCOPED_TRACE(m.id + " " + std::string(rawValue(want.chip)));
        const auto it = m.performanceProfiles.find(want.chip);
        ASSERT_NE(it, m.performanceProfiles.end());
        const PerformanceProfile& p = it->second;
        EXPECT_EQ(p.chipClass, want.chip);
        EXPECT_EQ(p.tokensPerSecondSimple, want.simple);
        EXPECT_EQ(p.tokensPerSecondComplex, want.complex);
        EXPECT_EQ(p.timeToFirstTokenSeconds, want.firstTokenSeconds);
        EXPECT_EQ(p.prefillSpeedTokensPerSecond, want.prefill);
        EXPECT_EQ(p.measurementDate, "2025-01");
        EXPECT_EQ(p.measurementSource, "community");
    }
}

TEST(ModelDatabaseTest, UseCasesRuntimesCommandsAndTagsAsPublished)
{
    ASSERT_EQ(ModelDatabase::all().size(), std::size(publishedLists));
    for (int row = 1; row <= 6; ++row) {
        const ModelProfile& m = catalogueRow(row);
        const PublishedLists& want = publishedLists[row - 1];
        SCOPED_TRACE(m.id);
        EXPECT_EQ(m.strongUseCases, want.strong);
        EXPECT_EQ(m.weakUseCases, want.weak);
        EXPECT_EQ(m.availableVia, want.availableVia);
        EXPECT_EQ(m.installCommands, want.installCommands);
        EXPECT_EQ(m.tags, want.tags);
    }
}
