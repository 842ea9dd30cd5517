#include "advisor-kit/FrameworkDatabase.h"
#include "advisor-kit/ModelDatabase.h"
#include "advisor-kit/UserRecommendationContext.h"

#include <gtest/gtest.h>

TEST(AdvisorVocabularyTest, RawValuesAndPrecisionOrder)
{
    using Q = QuantizationLevel;
    EXPECT_LT(Q::iq2, Q::q2);
    EXPECT_LT(Q::q8, Q::fp16);
    EXPECT_FALSE(Q::fp16 < Q::q8);
    EXPECT_GE(Q::q4, Q::q4);
    EXPECT_EQ(allCases<Q>().front(), Q::fp16);
    EXPECT_EQ(allCases<Q>().back(), Q::iq2);

    EXPECT_FALSE(enumFromRawValue<ChipClass>("m4 max"));
    EXPECT_EQ(enumFromRawValue<ChipClass>("M4 Max"), ChipClass::m4Max);
    EXPECT_EQ(jsoncodec::decodeText<Q>(R"("Q4_K_M")"), Q::q4);
    EXPECT_FALSE(jsoncodec::decodeText<Q>(R"("Q4")"));

    using Speed = UserRecommendationContext::SpeedPreference;
    EXPECT_EQ(rawValue(Speed::quality), "Best quality (I'll wait)");
    EXPECT_EQ(description(Speed::quality), rawValue(Speed::quality));
    EXPECT_EQ(rawValue(ThermalImpact::minimal), "Minimal \u2014 rarely causes throttling");
    EXPECT_EQ(lowercasedText(UseCase::codeCompletion), "code completion (copilot-style)");
    EXPECT_EQ(allCases<UseCase>().size(), 10u);
}

TEST(ModelProfileTest, CatalogueRowsSurviveAJsonRoundTrip)
{
    for (const auto& m : ModelDatabase::all()) {
        const auto text = jsoncodec::encodeText(m);
        ASSERT_TRUE(text);
        const auto back = jsoncodec::decodeText<ModelProfile>(*text);
        ASSERT_TRUE(back) << m.id;
        EXPECT_EQ(*back, m);
        EXPECT_EQ(std::hash<ModelProfile> {}(*back), std::hash<ModelProfile> {}(m));
    }
}

TEST(ModelProfileTest, DictionariesAndOptionalsEncodeAsStored)
{
    const ModelProfile llama = *ModelDatabase::model("llama3.1:8b");
    const Json j = llama;
    EXPECT_FALSE(j.contains("notes"));
    EXPECT_EQ(j.at("memoryProfiles").size(), 6u);
    EXPECT_EQ(j.at("memoryProfiles")[0], "Q4_K_M");
    EXPECT_EQ(j.at("memoryProfiles")[1].at("runtimeFootprintGB"), 4.7);
    EXPECT_EQ(j.at("installCommands")[0], "Ollama");
    EXPECT_EQ(j.at("installCommands")[1], "ollama pull llama3.1:8b");
    EXPECT_EQ(j.at("thermalImpact"), "Minimal \u2014 rarely causes throttling");

    Json noBench = j;
    noBench["scores"].erase("mtBench");
    EXPECT_FALSE(noBench.get<ModelProfile>().scores.mtBench);

    Json badKey = j;
    badKey["memoryProfiles"][0] = "Q4";
    EXPECT_FALSE(jsoncodec::decodeText<ModelProfile>(badKey.dump()));
    Json oddPairs = j;
    oddPairs["performanceProfiles"].erase(oddPairs["performanceProfiles"].size() - 1);
    EXPECT_FALSE(jsoncodec::decodeText<ModelProfile>(oddPairs.dump()));
    Json missing = j;
    missing.erase("tags");
    EXPECT_FALSE(jsoncodec::decodeText<ModelProfile>(missing.dump()));

    MemoryProfile a {QuantizationLevel::q4, 4.7, 4.7, 94, true};
    MemoryProfile b = a;
    b.isRecommendedQuantization = false;
    EXPECT_NE(a, b);
    ModelProfile changed = llama;
    changed.tags.pop_back();
    EXPECT_NE(changed, llama);
}

TEST(ModelProfileTest, FrameworkRowsLeaveAbsentFieldsOut)
{
    const auto& rows = FrameworkDatabase::all();
    const Json mlx = rows[1];
    const Json lmStudio = rows[2];
    EXPECT_FALSE(mlx.contains("apiEndpoint"));
    EXPECT_TRUE(mlx.contains("githubStars"));
    EXPECT_FALSE(lmStudio.contains("githubStars"));
    EXPECT_EQ(lmStudio.at("apiEndpoint"), "http://localhost:1234");
    const auto back = lmStudio.get<FrameworkProfile>();
    EXPECT_FALSE(back.githubStars);
    EXPECT_EQ(back.cons, rows[2].cons);
    EXPECT_EQ(back.framework, InferenceFramework::lmStudio);
}

TEST(ModelProfileTest, PerformanceRecordLeavesAbsentFieldsOut)
{
    const ModelPerformanceRecord r {Uuid::random(), "mistral:7b", InferenceFramework::ollama,
        Date::fromReferenceDate(100), Date::fromReferenceDate(200.5), 3, 12.5, std::nullopt, std::nullopt};
    const Json j = r;
    EXPECT_FALSE(j.contains("userRating"));
    EXPECT_FALSE(j.contains("notesFromUser"));
    EXPECT_EQ(j.at("lastUsed"), 200.5);
    EXPECT_EQ(j.at("framework"), "Ollama");
    const auto back = j.get<ModelPerformanceRecord>();
    EXPECT_EQ(back.id, r.id);
    EXPECT_EQ(back.lastUsed, r.lastUsed);
    EXPECT_FALSE(back.userRating);

    Json rated = j;
    rated["userRating"] = 2.5;
    EXPECT_FALSE(jsoncodec::decodeText<ModelPerformanceRecord>(rated.dump()));
}
