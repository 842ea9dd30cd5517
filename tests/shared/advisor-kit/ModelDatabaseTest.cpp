#include "advisor-kit/ModelDatabase.h"
#include "advisor-kit/FrameworkDatabase.h"
#include "advisor-kit/UserRecommendationContext.h"

#include <gtest/gtest.h>

#include <algorithm>
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
