#include "platform/io/Utf8.h"

#include <gtest/gtest.h>

using platform::isValidUtf8;
using platform::toValidUtf8;

TEST(Utf8Test, IllFormedSequencesAreRefused)
{
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("cc1plus \xC3\xA9 \xE2\x82\xAC \xF0\x9F\xA6\x99 \xF4\x8F\xBF\xBF"));
    for (const char* bad : {"\xff", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xF0\x8F\xBF\xBF", // overlong
             "\xED\xA0\x80", "\xED\xBF\xBF", // surrogates
             "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", // above U+10FFFF
             "\x80", "ok\xE2\x82", "\xC3("}) // stray continuation, cut short, missing continuation
        EXPECT_FALSE(isValidUtf8(bad)) << testing::PrintToString(std::string(bad));
}

TEST(Utf8Test, EachMaximalIllFormedPartBecomesOneReplacement)
{
    const std::string valid = "Ollama \xE2\x80\x94 llama3 \xF0\x9F\xA6\x99";
    EXPECT_EQ(toValidUtf8(valid), valid);
    EXPECT_EQ(toValidUtf8("\xff\xfe"), "\uFFFD\uFFFD");
    EXPECT_EQ(toValidUtf8("a\xE2\x82z"), "a\uFFFDz"); // a cut-short sequence is one part
    EXPECT_EQ(toValidUtf8("\xE2\x82"), "\uFFFD"); // ... also at the very end
    EXPECT_EQ(toValidUtf8("\xC3("), "\uFFFD(");
    EXPECT_EQ(toValidUtf8("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD"); // a surrogate fails at its second byte
    EXPECT_EQ(toValidUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_TRUE(isValidUtf8(toValidUtf8("\xF0\x9F\xA6\xFF\xC0\xAF\x80\xF8")));
}
