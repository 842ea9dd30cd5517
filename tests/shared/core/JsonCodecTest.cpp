#include "core/JsonCodec.h"
#include "core/Uuid.h"

#include <gtest/gtest.h>

TEST(UuidTest, TextFormIsUpperCaseAndRoundTrips)
{
    const Uuid id = Uuid::random();
    const std::string text = id.toString();
    ASSERT_EQ(text.size(), 36u);
    EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(text[14], '4');
    EXPECT_EQ(Uuid::fromString(text), id);
    EXPECT_EQ(
        Uuid::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")->toString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_FALSE(Uuid::fromString("E621E1F8C36C495A93FC0C247A3E6E5F"));
    EXPECT_FALSE(Uuid::fromString("G621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_FALSE(Uuid::fromString(""));
}

TEST(DateTest, ReferenceDateAndUnixEpochAgree)
{
    const Date d = Date::from1970(978307200.0 + 86400.5);
    EXPECT_DOUBLE_EQ(d.timeIntervalSinceReferenceDate(), 86400.5);
    EXPECT_EQ(Date::fromReferenceDate(0).iso8601(), "2001-01-01T00:00:00.000Z");
    EXPECT_LT(Date::fromReferenceDate(1), Date::fromReferenceDate(2));
}

TEST(JsonCodecTest, IntegersRejectFractionsButAcceptWholeFloats)
{
    const Json j = Json::parse(R"({"a":2.5,"b":3.0,"c":7,"d":"7","e":true,"f":-1})");
    EXPECT_THROW(jsoncodec::require<std::int64_t>(j, "a"), JsonDecodeError);
    EXPECT_EQ(jsoncodec::require<std::int64_t>(j, "b"), 3);
    EXPECT_EQ(jsoncodec::require<std::int64_t>(j, "c"), 7);
    EXPECT_THROW(jsoncodec::require<std::int64_t>(j, "d"), JsonDecodeError);
    EXPECT_THROW(jsoncodec::require<std::int64_t>(j, "e"), JsonDecodeError);
    EXPECT_THROW(jsoncodec::require<std::uint32_t>(j, "f"), JsonDecodeError);
    EXPECT_THROW(jsoncodec::require<std::int64_t>(j, "missing"), JsonDecodeError);
    EXPECT_DOUBLE_EQ(jsoncodec::require<double>(j, "c"), 7.0);
    EXPECT_THROW(jsoncodec::require<bool>(j, "c"), JsonDecodeError);
}

TEST(JsonCodecTest, OptionalsTreatMissingAndNullAsAbsentButCheckPresentTypes)
{
    const Json j = Json::parse(R"({"n":null,"s":"x","i":4})");
    EXPECT_FALSE(jsoncodec::optional<std::string>(j, "n"));
    EXPECT_FALSE(jsoncodec::optional<std::string>(j, "missing"));
    EXPECT_EQ(jsoncodec::optional<std::string>(j, "s"), "x");
    EXPECT_THROW(jsoncodec::optional<std::string>(j, "i"), JsonDecodeError);

    Json out = Json::object();
    jsoncodec::putOptional(out, "absent", std::optional<int>());
    jsoncodec::putOptional(out, "present", std::optional<int>(3));
    EXPECT_EQ(out.dump(), R"({"present":3})");
}

TEST(JsonCodecTest, NonFiniteNumbersAreNotEncoded)
{
    EXPECT_FALSE(jsoncodec::encodeText(Json {{"x", std::nan("")}}));
    EXPECT_FALSE(jsoncodec::encodeText(Json::array({1.0, HUGE_VAL})));
    EXPECT_EQ(jsoncodec::encodeText(Json {{"x", 1.5}}), R"({"x":1.5})");
}

TEST(JsonCodecTest, NumbersBeyondWhatARecordHoldsAreRefused)
{
    // 2^63 written as a float is one past the largest 64-bit integer; the smallest one is exact.
    EXPECT_FALSE(jsoncodec::decodeText<std::vector<std::int64_t>>("[9223372036854775808.0]"));
    EXPECT_EQ(jsoncodec::decodeText<std::vector<std::int64_t>>("[-9223372036854775808.0, 9223372036854775807]"),
        (std::vector<std::int64_t> {INT64_MIN, INT64_MAX}));
    EXPECT_FALSE(jsoncodec::decodeText<std::vector<std::int32_t>>("[2147483648.0]"));
    // Dates are kept from the year 1 to the year 9999; the largest double is no date.
    EXPECT_FALSE(jsoncodec::decodeText<std::vector<Date>>("[1.7976931348623157e308]"));
    EXPECT_FALSE(jsoncodec::decodeText<std::vector<Date>>("[-1e20]"));
    const auto edges = jsoncodec::decodeText<std::vector<Date>>("[-63113904000, 252423993599]");
    ASSERT_TRUE(edges);
    EXPECT_EQ(edges->front().iso8601(), "0001-01-01T00:00:00.000Z");
    EXPECT_EQ(edges->back().iso8601(), "9999-12-31T23:59:59.000Z");
}
