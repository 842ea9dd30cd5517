#include "advisor-kit/FrameworkRecommendationEngine.h"

#include <gtest/gtest.h>

namespace {

using Speed = UserRecommendationContext::SpeedPreference;

UserRecommendationContext answers(UseCase useCase, Speed speed, std::optional<InferenceFramework> preferred = {})
{
    return {MacCapabilityProfile::defaultProfile(), useCase, speed, UserRecommendationContext::ContextLength::short_,
        false, preferred, {}, {}};
}

std::vector<InferenceFramework> order(const std::vector<FrameworkRecommendation>& list)
{
    std::vector<InferenceFramework> out;
    for (const auto& r : list)
        out.push_back(r.framework);
    return out;
}

using F = InferenceFramework;

} // namespace

// score = (70 if bestFor holds the use case, else 50) - overhead x 5 - setup / 5 (+30 preferred, +15 MLX when fastest)
// For coding: Ollama 70 - 1 - 0.4 = 68.6; MLX 70 - 0.5 - 2 = 67.5; LM Studio 50 - 4 - 1 = 45;
// llama.cpp 70 - 0.25 - 4 = 65.75; Jan 50 - 3 - 0.8 = 46.2.
TEST(FrameworkRecommendationEngineTest, RanksRuntimesForCoding)
{
    const FrameworkRecommendationEngine engine;
    auto result = engine.recommend(answers(UseCase::coding, Speed::balanced), 3);
    ASSERT_EQ(order(result), (std::vector {F::ollama, F::mlx, F::llamaCpp}));
    EXPECT_EQ(result[0].rank, 1);
    EXPECT_EQ(result[2].rank, 3);
    EXPECT_EQ(result[0].badge, "RECOMMENDED");
    EXPECT_FALSE(result[1].badge); // 0.1 GB is not <= 0.05 and speed is not first
    EXPECT_EQ(result[2].badge, "EFFICIENT");

    EXPECT_EQ(result[0].reasoning,
        (std::vector<std::string> {"Highly optimized for your primary task (writing & debugging code)."}));
    EXPECT_EQ(result[2].reasoning,
        (std::vector<std::string> {"Highly optimized for your primary task (writing & debugging code).",
            "Very lightweight runtime (51MB overhead)."}));

    // LM Studio preferred: 45 + 30 = 75 comes first.
    result = engine.recommend(answers(UseCase::coding, Speed::balanced, F::lmStudio), 3);
    ASSERT_EQ(order(result), (std::vector {F::lmStudio, F::ollama, F::mlx}));
    EXPECT_EQ(result[0].badge, "RECOMMENDED");
    EXPECT_EQ(
        result[0].reasoning, (std::vector<std::string> {"Heavier memory footprint (0.8GB overhead due to GUI)."}));
    EXPECT_FALSE(result[0].githubStars);
    EXPECT_EQ(result[0].installInstructions,
        "Best choice if you want a polished UI and don't need API access from other tools.");
    EXPECT_EQ(result[0].estimatedSetupMinutes, 5);

    // A runtime without a catalogue row changes nothing.
    EXPECT_EQ(order(engine.recommend(answers(UseCase::coding, Speed::balanced, F::coreML), 3)),
        (std::vector {F::ollama, F::mlx, F::llamaCpp}));
}

TEST(FrameworkRecommendationEngineTest, FastestFavoursMlx)
{
    const FrameworkRecommendationEngine engine;
    // Coding, fastest: MLX 67.5 + 15 = 82.5 leads; rank 1 shows RECOMMENDED, not FASTEST.
    auto result = engine.recommend(answers(UseCase::coding, Speed::fastest), 3);
    ASSERT_EQ(order(result), (std::vector {F::mlx, F::ollama, F::llamaCpp}));
    EXPECT_EQ(result[0].badge, "RECOMMENDED");
    EXPECT_EQ(result[0].reasoning,
        (std::vector<std::string> {"Highly optimized for your primary task (writing & debugging code).",
            "Leverages your existing local Python environment.", "Very lightweight runtime (102MB overhead).",
            "Unlocks Apple Silicon's Neural Engine and Metal GPU capabilities for highest speed."}));

    // Writing, fastest: Jan 70 - 3.8 = 66.2; LM Studio 70 - 5 = 65; MLX 50 - 2.5 + 15 = 62.5;
    // Ollama 50 - 1.4 = 48.6; llama.cpp 50 - 4.25 = 45.75.
    result = engine.recommend(answers(UseCase::writing, Speed::fastest), 10);
    ASSERT_EQ(order(result), (std::vector {F::jan, F::lmStudio, F::mlx, F::ollama, F::llamaCpp}));
    EXPECT_EQ(result[2].badge, "FASTEST");
    EXPECT_FALSE(result[3].badge);
    EXPECT_EQ(result[4].badge, "EFFICIENT");
    EXPECT_EQ(result[4].rank, 5);
    EXPECT_EQ(result[0].reasoning,
        (std::vector<std::string> {"Highly optimized for your primary task (writing & editing).",
            "Heavier memory footprint (0.6GB overhead due to GUI)."}));

    EXPECT_TRUE(engine.recommend(answers(UseCase::writing, Speed::fastest), 0).empty());
}

TEST(FrameworkRecommendationEngineTest, NoAppleOnlyRuntimeFirstOnOtherHardware)
{
    auto context = answers(UseCase::coding, Speed::fastest);
    context.macProfile.appleSilicon = false;
    // MLX gets no speed bonus and, needing Apple silicon, comes after every runtime this machine can run.
    const auto result = FrameworkRecommendationEngine().recommend(context, 10);
    ASSERT_EQ(order(result), (std::vector {F::ollama, F::llamaCpp, F::jan, F::lmStudio, F::mlx}));
    EXPECT_FALSE(result[4].badge);
    for (const auto& r : result)
        for (const auto& reason : r.reasoning)
            EXPECT_EQ(reason.find("Apple"), std::string::npos) << reason;
}
