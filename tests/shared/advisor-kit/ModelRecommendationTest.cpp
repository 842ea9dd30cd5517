#include "advisor-kit/ModelRecommendation.h"
#include "advisor-kit/TruncatedInteger.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

ModelRecommendation withPerformance(double low, double high, double footprint, double headroom)
{
    ModelRecommendation r;
    r.expectedPerformance.tokensPerSecondRange = {low, high};
    r.expectedPerformance.memoryFootprintGB = footprint;
    r.expectedPerformance.headroomRemainingGB = headroom;
    return r;
}

} // namespace

TEST(ModelRecommendationTest, PerformanceSummaryTruncatesSpeedsAndUsesAPoint)
{
    // A comma locale must not turn "4.9" into "4,9".
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(withPerformance(21.7, 34.1, 4.9, 27.14).performanceSummary(),
        "21\u201334 tok/s \u00b7 4.9GB \u00b7 27.1GB free");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(
        withPerformance(9.9, 14.9, 2.2, -0.75).performanceSummary(), "9\u201314 tok/s \u00b7 2.2GB \u00b7 -0.8GB free");
}

TEST(ModelRecommendationTest, IntegerConversionsOfNonFiniteValuesAreDefined)
{
    EXPECT_EQ(truncatedInteger(9.99), 9);
    EXPECT_EQ(truncatedInteger(-9.99), -9);
    EXPECT_EQ(truncatedInteger(std::nan("")), 0);
    EXPECT_EQ(truncatedInteger(std::numeric_limits<double>::infinity()), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(truncatedInteger(-1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(truncatedInteger(9223372036854775807.0), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(withPerformance(1, 1e30, 1, 1).performanceSummary(),
        "1\u20139223372036854775807 tok/s \u00b7 1.0GB \u00b7 1.0GB free");
    // A range that is no number is no speed: the dash, never "0–0".
    EXPECT_EQ(withPerformance(std::nan(""), std::nan(""), 1, 1).performanceSummary(),
        "\u2014 tok/s \u00b7 1.0GB \u00b7 1.0GB free");
}

TEST(ModelRecommendationTest, BadgeAndSeverityTexts)
{
    using Badge = ModelRecommendation::Badge;
    using Severity = ModelRecommendation::Tradeoff::Severity;
    EXPECT_EQ(jsoncodec::decodeText<Badge>(R"("ALREADY INSTALLED")"), Badge::alreadyHave);
    EXPECT_FALSE(jsoncodec::decodeText<Badge>(R"("Already Installed")"));
    EXPECT_EQ(rawValue(Badge::tryThis), "TRY THIS NEXT");

    const ModelRecommendation::Tradeoff t {Uuid::random(), "Slow", Severity::significant};
    EXPECT_EQ(t.severityIcon(), "exclamationmark");
    const Json j = t;
    EXPECT_EQ(j.at("severity"), "significant");
    const auto back = j.get<ModelRecommendation::Tradeoff>();
    EXPECT_EQ(back.id, t.id);
    EXPECT_EQ(back.description, "Slow");
    EXPECT_EQ((ModelRecommendation::Tradeoff {Uuid(), "", Severity::moderate}.severityIcon()), "arrow.down");

    const ModelRecommendation::ReasoningPoint p {Uuid::random(), "hammer", "Won't impact your builds", true};
    const Json pj = p;
    EXPECT_EQ(pj.at("isPositive"), true);
    EXPECT_EQ(pj.get<ModelRecommendation::ReasoningPoint>().text, p.text);
}
