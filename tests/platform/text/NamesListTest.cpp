#include "platform/text/NamesList.h"

#include <gtest/gtest.h>

using platform::namesList;

TEST(NamesListTest, ShowsTwoNamesThenHowManyMore)
{
    EXPECT_EQ(namesList({}), "");
    EXPECT_EQ(namesList({"npm Cache"}), "npm Cache");
    EXPECT_EQ(namesList({"A", "B"}), "A, B");
    EXPECT_EQ(namesList({"A", "B", "C"}), "A, B +1 more");
    EXPECT_EQ(namesList({"A", "B", "C", "D", "E"}), "A, B +3 more");
    EXPECT_EQ(namesList({"A", "B", "C", "D"}, 3), "A, B, C +1 more");
}
