#include "advisor-kit/ModelRecommendationEngine.h"
#include "advisor-kit/ModelDatabase.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Badge = ModelRecommendation::Badge;
using Severity = ModelRecommendation::Tradeoff::Severity;
using Speed = UserRecommendationContext::SpeedPreference;
using Length = UserRecommendationContext::ContextLength;
using Headroom = MacCapabilityProfile::ThermalHeadroom;

MacCapabilityProfile mac(ChipClass chip, double totalGB, double freeGB, double typicalGB, Headroom thermal)
{
    return {chip, totalGB, 8, 30, neuralEngineCores(chip), memoryBandwidthGBs(chip), freeGB, typicalGB, thermal, 500,
        true, {}};
}

UserRecommendationContext context(
    MacCapabilityProfile profile, UseCase useCase, Speed speed, Length length, bool builds)
{
    return {profile, useCase, speed, length, builds, std::nullopt, {}, {}};
}

std::vector<std::string> ids(const std::vector<ModelRecommendation>& list)
{
    std::vector<std::string> out;
    for (const auto& r : list)
        out.push_back(r.model.id);
    return out;
}

OllamaModel installed(std::string name)
{
    return {"sha256:0", std::move(name), 1, false, std::nullopt, 1};
}

// A model that scores only what the test gives it: all ratings 0, no strong or weak use, one
// variant, no measurements, minimal thermal impact.
ModelProfile plainModel(std::string id, double footprintGB)
{
    ModelProfile m;
    m.id = std::move(id);
    m.memoryProfiles[QuantizationLevel::q4] = {QuantizationLevel::q4, footprintGB, footprintGB, 95, true};
    m.contextWindowTokens = 128000;
    m.thermalImpact = ThermalImpact::minimal;
    m.availableVia = {InferenceFramework::ollama};
    return m;
}

// M3 Max, 64 GB, 40 GB free, coding, balanced, medium context, no builds. Budget 64 - 8 = 56, so
// llama3.1:8b runs at fp16 (16), deepseek at q8 (16.5), qwen and the small ones at q4, 70b at q4 (42.5).
// score = coding x 3.5 (+5 strong, -8 weak) + headroom bonus (H = 40 - footprint) + S/6 (max 15) + thermal:
//   phi3.5      23.8        + 25 (H 37.8) + 15 (150/6 capped) + 5 = 68.8
//   deepseek    32.2 + 5    + 18 (H 23.5) + 8 (48/6)          + 5 = 68.2
//   llama3.1:8b 24.85 + 5   + 18 (H 24)   + 13.67 (82/6)      + 5 = 66.52
//   qwen        33.25 + 5   + 18 (H 20.6) + 5.67 (34/6)       + 4 = 65.92
//   mistral     19.25 - 8   + 25 (H 35.9) + 14.67 (88/6)      + 5 = 55.92
//   llama3.1:70b 28.7 + 5   - 20 (H -2.5) + 5.33 (32/6)       + 4 = 23.03
UserRecommendationContext bigMacCoding()
{
    return context(mac(ChipClass::m3Max, 64, 40, 40, Headroom::excellent), UseCase::coding, Speed::balanced,
        Length::medium, false);
}

} // namespace

TEST(ModelRecommendationEngineTest, RanksTheCatalogueForALargeMachine)
{
    const auto result = ModelRecommendationEngine().recommend(bigMacCoding(), 5);
    ASSERT_EQ(ids(result),
        (std::vector<std::string> {
            "phi3.5:3.8b", "deepseek-coder-v2:16b", "llama3.1:8b", "qwen2.5-coder:32b", "mistral:7b"}));
    EXPECT_NEAR(result[0].score, 68.8, 1e-9);
    EXPECT_NEAR(result[1].score, 68.2, 1e-9);
    EXPECT_NEAR(result[2].score, 24.85 + 5 + 18 + 82.0 / 6 + 5, 1e-9);
    for (std::size_t i = 0; i < result.size(); ++i)
        EXPECT_EQ(result[i].rank, static_cast<std::int64_t>(i) + 1);

    // Rank 2 has coding 9.2 > 9; rank 3 runs at 82 > 70 tok/s.
    EXPECT_EQ(result[0].badge, Badge::bestForYou);
    EXPECT_EQ(result[1].badge, Badge::highestQuality);
    EXPECT_EQ(result[2].badge, Badge::fastest);
    EXPECT_FALSE(result[3].badge);
    EXPECT_EQ(result[2].variant.quantization, QuantizationLevel::fp16);
    EXPECT_EQ(result[1].variant.quantization, QuantizationLevel::q8);
    EXPECT_DOUBLE_EQ(result[0].confidence, result[0].score / 100);
}

TEST(ModelRecommendationEngineTest, RanksTheCatalogueForABaseMachine)
{
    // 8 GB M1 with 4 GB free, general chat, fastest. Budget 8 - 1.5 = 6.5 keeps llama3.1:8b (q4 4.7),
    // mistral (4.1) and phi3.5 (2.2). Every headroom is below 4 (-20); speed bonus S x 0.25:
    //   phi3.5      24.5 + 5 - 20 + 11.25 (45) + 5 = 25.75
    //   llama3.1:8b 25.2 + 5 - 20 + 6.5 (26)   + 5 = 21.7
    //   mistral     23.8 + 5 - 20 + 5.5 (22)   + 5 = 19.3
    const auto ctx
        = context(MacCapabilityProfile::defaultProfile(), UseCase::generalChat, Speed::fastest, Length::short_, false);
    const auto result = ModelRecommendationEngine().recommend(ctx, 5);
    ASSERT_EQ(ids(result), (std::vector<std::string> {"phi3.5:3.8b", "llama3.1:8b", "mistral:7b"}));
    EXPECT_NEAR(result[0].score, 25.75, 1e-9);
    EXPECT_NEAR(result[2].score, 19.3, 1e-9);
    EXPECT_EQ(result[2].rank, 3);

    const auto& phi = result[0];
    ASSERT_EQ(phi.reasoning.size(), 4u);
    EXPECT_EQ(phi.reasoning[0].icon, "memorychip");
    EXPECT_EQ(phi.reasoning[0].text, "2GB headroom \u2014 tight but workable");
    EXPECT_FALSE(phi.reasoning[0].isPositive);
    EXPECT_EQ(phi.reasoning[1].text, "Specifically strong for general conversation");
    EXPECT_EQ(phi.reasoning[2].text, "~45 tok/s on your M1");
    EXPECT_TRUE(phi.reasoning[2].isPositive);
    EXPECT_EQ(phi.reasoning[3].icon, "sparkles");
    EXPECT_EQ(phi.reasoning[3].text, "You haven't tried this yet");
    EXPECT_TRUE(phi.tradeoffs.empty());
    EXPECT_EQ(phi.installCommand, "ollama pull phi3.5");
    EXPECT_DOUBLE_EQ(phi.expectedPerformance.timeToFirstTokenSeconds, 0.3);
}

TEST(ModelRecommendationEngineTest, BuildHeadroomFiltersByTheChosenVariant)
{
    // M2 Pro (no measurements: 200 / 300 x 40 = 26.67 tok/s), 32 GB with builds: reserve 12, budget 20.
    // Long context drops mistral. With 20 GB typically free, G = 20 - 12 = 8: llama3.1:8b is judged at
    // fp16 (16 > 8) and dropped although its q4 would fit; deepseek (16.5) and qwen (19.4) go too.
    // phi3.5: 25.2 - 8 (weak) + 18 (H 17.8) + 1.78 (S/15) + 8 (builds, H > 16) + 5 = 49.98.
    auto ctx = context(
        mac(ChipClass::m2Pro, 32, 20, 20, Headroom::adequate), UseCase::reasoning, Speed::quality, Length::long_, true);
    auto result = ModelRecommendationEngine().recommend(ctx, 5);
    ASSERT_EQ(ids(result), (std::vector<std::string> {"phi3.5:3.8b"}));
    EXPECT_NEAR(result[0].score, 25.2 - 8 + 18 + 200.0 / 300 * 40 / 15 + 8 + 5, 1e-9);
    // Counted in the model's favour, so not called tight.
    EXPECT_EQ(result[0].reasoning[0].text, "18GB headroom remaining \u2014 workable");
    EXPECT_TRUE(result[0].reasoning[0].isPositive);
    EXPECT_EQ(result[0].reasoning[1].text, "~26 tok/s on your M2 Pro");
    EXPECT_EQ(result[0].reasoning[2].text, "May slow builds slightly \u2014 Compile Mode will help");
    ASSERT_EQ(result[0].tradeoffs.size(), 1u);
    EXPECT_EQ(result[0].tradeoffs[0].description, "Not optimized for complex reasoning & math");
    EXPECT_EQ(result[0].tradeoffs[0].severity, Severity::significant);
    EXPECT_EQ(result[0].performanceSummary(), "18\u201329 tok/s \u00b7 2.2GB \u00b7 17.8GB free");
    EXPECT_DOUBLE_EQ(result[0].expectedPerformance.timeToFirstTokenSeconds, 1.0);
    EXPECT_TRUE(result[0].expectedPerformance.compatibleWithBuilds);

    // With only 10 GB typically free nothing is left beside the builds: G is 0, never negative (a
    // negative room once let every model through). The smallest that would fit is phi3.5.
    ctx.macProfile.typicalFreeHeadroomGB = 10;
    EXPECT_EQ(ModelRecommendationEngine::buildHeadroomGB(ctx.macProfile), 0);
    EXPECT_TRUE(ModelRecommendationEngine().recommend(ctx, 5).empty());
    auto smallest = ModelRecommendationEngine().smallestCandidateBesideBuilds(ctx);
    ASSERT_TRUE(smallest);
    EXPECT_EQ(smallest->model.id, "phi3.5:3.8b");
    EXPECT_EQ(smallest->variant.runtimeFootprintGB, 2.2);
    // Room for phi3.5 alone.
    ctx.macProfile.typicalFreeHeadroomGB = 14.5;
    EXPECT_EQ(ids(ModelRecommendationEngine().recommend(ctx, 5)), (std::vector<std::string> {"phi3.5:3.8b"}));
    // Answers no model meets leave no candidate either.
    ctx.preferredFramework = InferenceFramework::coreML;
    EXPECT_FALSE(ModelRecommendationEngine().smallestCandidateBesideBuilds(ctx));
}

TEST(ModelRecommendationEngineTest, HistoryCountsOnlyTheFirstMatchingRecord)
{
    // qwen gains +10 (45 min sessions) and (5 - 3) x 3 = +6: 65.92 + 16 = 81.92, now first. The later
    // qwen record (rating 1) counts for nothing.
    auto ctx = bigMacCoding();
    ctx.triedModels
        = {{Uuid::random(), "qwen2.5-coder:32b", InferenceFramework::ollama, Date(), Date(), 4, 45, 5, std::nullopt},
            {Uuid::random(), "qwen2.5-coder:7b", InferenceFramework::ollama, Date(), Date(), 1, 5, 1, std::nullopt}};
    const auto result = ModelRecommendationEngine().recommend(ctx, 3);
    ASSERT_EQ(ids(result), (std::vector<std::string> {"qwen2.5-coder:32b", "phi3.5:3.8b", "deepseek-coder-v2:16b"}));
    EXPECT_NEAR(result[0].score, 33.25 + 5 + 18 + 34.0 / 6 + 4 + 16, 1e-9);
    EXPECT_EQ(result[0].reasoning.back().icon, "checkmark.seal");
    EXPECT_EQ(result[0].reasoning.back().text, "You've used this model before");
    // Rank 2 phi3.5 has neither rating above 9; rank 3 deepseek runs at 48 tok/s.
    EXPECT_FALSE(result[1].badge);
    EXPECT_FALSE(result[2].badge);
}

TEST(ModelRecommendationEngineTest, LowRatingsLowerTheScore)
{
    // phi3.5 with 15-minute sessions rated 1: 68.8 + 5 - 6 = 67.8 drops below deepseek (68.2).
    auto ctx = bigMacCoding();
    ctx.triedModels = {{Uuid::random(), "phi3.5", InferenceFramework::ollama, Date(), Date(), 2, 15, 1, std::nullopt}};
    auto result = ModelRecommendationEngine().recommend(ctx, 2);
    ASSERT_EQ(ids(result), (std::vector<std::string> {"deepseek-coder-v2:16b", "phi3.5:3.8b"}));
    EXPECT_NEAR(result[1].score, 67.8, 1e-9);

    // A stored rating may hold any integer; the most negative one just clamps the score to 0.
    ctx.triedModels[0].userRating = std::numeric_limits<std::int64_t>::min();
    result = ModelRecommendationEngine().recommend(ctx, 6);
    ASSERT_EQ(result.size(), 6u);
    EXPECT_EQ(result.back().model.id, "phi3.5:3.8b");
    EXPECT_EQ(result.back().score, 0);
}

TEST(ModelRecommendationEngineTest, MemoryReserveAndVariantChoice)
{
    EXPECT_EQ(ModelRecommendationEngine::memoryReserveGB(8, true), 1.5);
    EXPECT_EQ(ModelRecommendationEngine::memoryReserveGB(16, true), 4);
    EXPECT_EQ(ModelRecommendationEngine::memoryReserveGB(16, false), 3);
    EXPECT_EQ(ModelRecommendationEngine::memoryReserveGB(16.5, true), 12);
    EXPECT_EQ(ModelRecommendationEngine::memoryReserveGB(32, true), 12);
    EXPECT_EQ(ModelRecommendationEngine::memoryReserveGB(32.5, true), 24);
    EXPECT_EQ(ModelRecommendationEngine::memoryReserveGB(48, false), 8);

    // q4 (5.0) and q8 (8.5) fit a budget of 16 - 3 = 13, fp16 (16) does not: q8 is chosen.
    ModelProfile m = plainModel("m:1", 5.0);
    m.memoryProfiles[QuantizationLevel::q8] = {QuantizationLevel::q8, 8.5, 8.5, 99, false};
    m.memoryProfiles[QuantizationLevel::fp16] = {QuantizationLevel::fp16, 16, 16, 100, false};
    ModelProfile big = plainModel("big:1", 13.01);
    big.scores.codingScore = 28;
    const ModelRecommendationEngine engine({big, m});
    const auto result = engine.recommend(context(mac(ChipClass::m1Base, 16, 16, 16, Headroom::excellent),
                                             UseCase::coding, Speed::balanced, Length::short_, false),
        5);
    // big's smallest variant exceeds the budget, so its score never matters.
    ASSERT_EQ(ids(result), (std::vector<std::string> {"m:1"}));
    EXPECT_EQ(result[0].variant.quantization, QuantizationLevel::q8);
}

TEST(ModelRecommendationEngineTest, FiltersForContextLengthAndFramework)
{
    ModelProfile exact = plainModel("exact:1", 2);
    exact.contextWindowTokens = 100000;
    ModelProfile shortOne = plainModel("short:1", 2);
    shortOne.contextWindowTokens = 99999;
    const ModelRecommendationEngine engine({exact, shortOne});
    auto ctx = context(mac(ChipClass::m1Base, 16, 16, 16, Headroom::excellent), UseCase::coding, Speed::balanced,
        Length::long_, false);
    EXPECT_EQ(ids(engine.recommend(ctx, 5)), (std::vector<std::string> {"exact:1"}));

    ctx.preferredFramework = InferenceFramework::coreML;
    EXPECT_TRUE(ModelRecommendationEngine().recommend(ctx, 5).empty());

    // MLX preferred: llama3.1:8b has an MLX command; phi3.5 runs on MLX but only has an Ollama command.
    auto big = bigMacCoding();
    big.preferredFramework = InferenceFramework::mlx;
    const auto result = ModelRecommendationEngine().recommend(big, 5);
    ASSERT_EQ(ids(result), (std::vector<std::string> {"phi3.5:3.8b", "llama3.1:8b", "mistral:7b", "llama3.1:70b"}));
    EXPECT_EQ(result[0].framework, InferenceFramework::mlx);
    EXPECT_EQ(result[0].installCommand, "ollama pull phi3.5");
    EXPECT_EQ(result[1].installCommand,
        "pip install mlx-lm && mlx_lm.generate --model mlx-community/Meta-Llama-3.1-8B-Instruct-4bit");
    // A model with no commands at all is pulled by its id.
    EXPECT_EQ(ModelRecommendationEngine({plainModel("bare:2b", 1)}).recommend(bigMacCoding(), 1)[0].installCommand,
        "ollama pull bare:2b");
}

TEST(ModelRecommendationEngineTest, HeadroomBonusesAtTheirBoundaries)
{
    // Plain 4 GB model on a 128 GB M1-class machine with builds (reserve 24); 128 GB typically free
    // leaves room beside the builds. Speed 68.25 / 300 x 40 = 9.1 tok/s, quality preference: 9.1 / 15.
    const ModelRecommendationEngine engine({plainModel("p:1", 4)});
    const auto scoreWithHeadroom = [&engine](double headroom) {
        return engine
            .recommend(context(mac(ChipClass::m1Base, 128, 4 + headroom, 128, Headroom::excellent), UseCase::coding,
                           Speed::quality, Length::short_, true),
                1)
            .at(0)
            .score;
    };
    const double speed = 9.1 / 15;
    EXPECT_NEAR(scoreWithHeadroom(32), 25 + speed + 15 + 5, 1e-9);
    EXPECT_NEAR(scoreWithHeadroom(24), 18 + speed + 8 + 5, 1e-9);
    EXPECT_NEAR(scoreWithHeadroom(16), 18 + speed + 3 + 5, 1e-9);
    EXPECT_NEAR(scoreWithHeadroom(8), 10 + speed - 10 + 5, 1e-9);
    // 3 + 0.61 - 10 + 5 is below zero and stored as 0.
    EXPECT_EQ(scoreWithHeadroom(4), 0);
}

TEST(ModelRecommendationEngineTest, ScoreIsClampedAndConfidenceFollowsIt)
{
    // 0 x 3.5 + 5 (strong) + 18 (H 16) + 14 (56 tok/s x 0.25) + 5 = 42 exactly.
    ModelProfile m = plainModel("m:1", 4);
    m.strongUseCases = {UseCase::coding};
    m.performanceProfiles[ChipClass::m1Base] = {ChipClass::m1Base, 56, 40, 0.5, 900, "2025-01", "community"};
    ModelProfile top = plainModel("top:1", 4);
    top.scores.codingScore = 30;
    const auto ctx = context(mac(ChipClass::m1Base, 64, 20, 20, Headroom::excellent), UseCase::coding, Speed::fastest,
        Length::short_, false);
    const auto result = ModelRecommendationEngine({m, top}).recommend(ctx, 5);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].model.id, "top:1");
    EXPECT_EQ(result[0].score, 100);
    EXPECT_EQ(result[0].confidence, 1.0);
    EXPECT_EQ(result[1].score, 42);
    EXPECT_DOUBLE_EQ(result[1].confidence, 0.42);
}

TEST(ModelRecommendationEngineTest, EqualScoresKeepCatalogueOrderAndLimitsHold)
{
    const auto ctx = context(mac(ChipClass::m1Base, 64, 20, 20, Headroom::excellent), UseCase::coding, Speed::balanced,
        Length::short_, false);
    EXPECT_EQ(ids(ModelRecommendationEngine({plainModel("a:1", 4), plainModel("b:1", 4)}).recommend(ctx, 5)),
        (std::vector<std::string> {"a:1", "b:1"}));
    EXPECT_EQ(ids(ModelRecommendationEngine({plainModel("b:1", 4), plainModel("a:1", 4)}).recommend(ctx, 5)),
        (std::vector<std::string> {"b:1", "a:1"}));
    EXPECT_TRUE(ModelRecommendationEngine().recommend(bigMacCoding(), 0).empty());
    EXPECT_TRUE(ModelRecommendationEngine().recommend(bigMacCoding(), -3).empty());
    EXPECT_EQ(ModelRecommendationEngine().recommend(bigMacCoding(), 2).size(), 2u);
}

TEST(ModelRecommendationEngineTest, BadgeThresholdsAreStrict)
{
    // Coding ratings 10 > 9 > 1 fix the order; balanced speed bonuses are too small to change it.
    ModelProfile first = plainModel("first:1", 4);
    first.scores.codingScore = 10;
    ModelProfile second = plainModel("second:1", 4);
    second.scores.codingScore = 9.0;
    second.scores.generalQuality = 9.0;
    ModelProfile third = plainModel("third:1", 4);
    third.scores.codingScore = 1;
    third.performanceProfiles[ChipClass::m1Base] = {ChipClass::m1Base, 70, 50, 0.5, 900, "2025-01", "community"};
    const auto ctx = context(mac(ChipClass::m1Base, 64, 20, 20, Headroom::excellent), UseCase::coding, Speed::balanced,
        Length::short_, false);

    auto result = ModelRecommendationEngine({first, second, third}).recommend(ctx, 3);
    ASSERT_EQ(ids(result), (std::vector<std::string> {"first:1", "second:1", "third:1"}));
    EXPECT_FALSE(result[1].badge);
    EXPECT_FALSE(result[2].badge);

    second.scores.generalQuality = 9.01;
    third.performanceProfiles[ChipClass::m1Base].tokensPerSecondSimple = 70.1;
    result = ModelRecommendationEngine({first, second, third}).recommend(ctx, 3);
    EXPECT_EQ(result[1].badge, Badge::highestQuality);
    EXPECT_EQ(result[2].badge, Badge::fastest);
}

TEST(ModelRecommendationEngineTest, InstalledMeansTheWholeTagIgnoringCase)
{
    const auto row = [](const char* id) { return *ModelDatabase::model(id); };
    const auto isInstalled = [](const ModelProfile& m, std::vector<OllamaModel> list) {
        return ModelRecommendationEngine::isInstalled(m, list);
    };
    EXPECT_TRUE(isInstalled(row("llama3.1:8b"), {installed("llama3.1:8b")}));
    EXPECT_TRUE(isInstalled(row("llama3.1:8b"), {installed("Llama3.1:8B")}));
    EXPECT_FALSE(isInstalled(row("llama3.1:70b"), {installed("llama3.1:8b")}));
    EXPECT_FALSE(isInstalled(row("llama3.1:8b"), {installed("llama3.10:8b")}));
    EXPECT_FALSE(isInstalled(row("llama3.1:8b"), {installed("llama3.1")}));
    EXPECT_FALSE(isInstalled(row("llama3.1:8b"), {installed("llama3.1:latest")}));
    EXPECT_FALSE(isInstalled(row("llama3.1:8b"), {}));
    // mistral and phi3.5 are pulled untagged, so ":latest" (or no tag) is theirs.
    EXPECT_TRUE(isInstalled(row("mistral:7b"), {installed("mistral:latest")}));
    EXPECT_TRUE(isInstalled(row("mistral:7b"), {installed("mistral")}));
    EXPECT_TRUE(isInstalled(row("mistral:7b"), {installed("mistral:7b")}));
    EXPECT_FALSE(isInstalled(row("mistral:7b"), {installed("mistral-nemo:latest")}));
    EXPECT_TRUE(isInstalled(row("phi3.5:3.8b"), {installed("qwen2:7b"), installed("PHI3.5:latest")}));

    // Installed beats every rank badge, including rank 1; the 70b row is not installed by the 8b one.
    auto ctx = bigMacCoding();
    ctx.installedModels = {installed("phi3.5:latest"), installed("llama3.1:8b")};
    const auto result = ModelRecommendationEngine().recommend(ctx, 6);
    ASSERT_EQ(result.size(), 6u);
    EXPECT_EQ(result[0].badge, Badge::alreadyHave);
    EXPECT_TRUE(result[0].alreadyInstalled);
    EXPECT_EQ(result[2].badge, Badge::alreadyHave);
    EXPECT_EQ(result[5].model.id, "llama3.1:70b");
    EXPECT_FALSE(result[5].alreadyInstalled);
}

TEST(ModelRecommendationEngineTest, SlowAndLowQualityTradeoffs)
{
    // An M1 base runs an unmeasured model at 9.1 tok/s: a significant drawback when speed comes first.
    ModelProfile m = plainModel("slow:1", 4);
    m.memoryProfiles[QuantizationLevel::q4].qualityRetentionPercent = 85;
    m.weakUseCases = {UseCase::coding};
    auto ctx = context(mac(ChipClass::m1Base, 64, 40, 40, Headroom::excellent), UseCase::coding, Speed::fastest,
        Length::short_, false);
    auto result = ModelRecommendationEngine({m}).recommend(ctx, 1);
    ASSERT_EQ(result[0].tradeoffs.size(), 3u);
    EXPECT_EQ(result[0].tradeoffs[0].description, "Not optimized for writing & debugging code");
    EXPECT_EQ(result[0].tradeoffs[1].description, "Slower than smaller models (9 tok/s)");
    EXPECT_EQ(result[0].tradeoffs[1].severity, Severity::significant);
    EXPECT_EQ(result[0].tradeoffs[2].description, "85% quality vs full precision");
    EXPECT_EQ(result[0].reasoning[0].text, "36GB headroom remaining \u2014 comfortable");

    ctx.speedPreference = Speed::balanced;
    result = ModelRecommendationEngine({m}).recommend(ctx, 1);
    EXPECT_EQ(result[0].tradeoffs[1].severity, Severity::minor);
}

TEST(ModelRecommendationEngineTest, NoSpeedFiguresOffAppleSilicon)
{
    // The speeds are the chip tables' (here the M1 fallback's): another processor gets none of them.
    ModelProfile m = plainModel("slow:1", 4);
    auto profile = mac(ChipClass::m1Base, 64, 40, 40, Headroom::excellent);
    profile.appleSilicon = false;
    profile.processorName = "AMD EPYC";
    const auto ctx = context(profile, UseCase::coding, Speed::fastest, Length::short_, false);
    const auto result = ModelRecommendationEngine({m}).recommend(ctx, 1);
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].performanceSummary(), "\u2014 tok/s \u00b7 4.0GB \u00b7 36.0GB free");
    ASSERT_EQ(result[0].reasoning.size(), 3u);
    EXPECT_EQ(result[0].reasoning[1].text, "\u2014 tok/s on your AMD EPYC"); // not "~9 tok/s on your M1"
    for (const auto& tradeoff : result[0].tradeoffs)
        EXPECT_EQ(tradeoff.description.find("tok/s"), std::string::npos) << tradeoff.description;
}
