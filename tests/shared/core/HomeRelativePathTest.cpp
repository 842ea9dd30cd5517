#include "core/HomeRelativePath.h"

#include <gtest/gtest.h>

TEST(HomeRelativePathTest, TildeOnlyForTheHomeFolderAndWhatLiesInIt)
{
    const QString home = "/home/ann";
    EXPECT_EQ(homeRelativePath("/home/ann/.local/share/Quorvane", home), "~/.local/share/Quorvane");
    EXPECT_EQ(homeRelativePath("/home/ann", home), "~");
    EXPECT_EQ(homeRelativePath("/home/ann/", home), "~");
    EXPECT_EQ(homeRelativePath("/home/ann//data/./Quorvane", "/home/ann/"), "~/data/Quorvane");
    // A sibling whose name starts with the home folder's is not in it.
    EXPECT_EQ(homeRelativePath("/home/anna/Quorvane", home), "/home/anna/Quorvane");
    EXPECT_EQ(homeRelativePath("/srv/xdg/Quorvane", home), "/srv/xdg/Quorvane");
    // With no home, or "/" as home, every path stays whole.
    EXPECT_EQ(homeRelativePath("/srv/xdg/Quorvane", "/"), "/srv/xdg/Quorvane");
    EXPECT_EQ(homeRelativePath("/srv/xdg/Quorvane", ""), "/srv/xdg/Quorvane");
}
