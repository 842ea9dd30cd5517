#include "TempTree.h"

#include "platform/fs/TreeWalk.h"
#include "platform/io/UniqueFd.h"
#include "support/DeepTree.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

using platform::EntryInfo;
using platform::TreeWalk;
using platform::UniqueFd;

namespace {

// Counts what the walk hands over; at the deepest file it runs `atBottom` once.
class Recorder : public TreeWalk::Visitor
{
public:
    void entry(int, const std::string& name, const EntryInfo&) override
    {
        ++entries;
        if (name == "leaf" && atBottom)
            std::exchange(atBottom, nullptr)();
    }
    void leave(int, const std::string& name, const EntryInfo&) override
    {
        ++left;
        if (name == "outside")
            leftOutside = true;
    }

    std::function<void()> atBottom;
    int entries = 0;
    int left = 0;
    bool leftOutside = false;
};

} // namespace

TEST(TreeWalkTest, ClimbsBackThroughClosedFoldersAndStopsWhenOneWasMovedAway)
{
    TempTree t;
    t.folder("tree");
    t.folder("elsewhere/outside");
    ASSERT_TRUE(makeDeepTree(t.path("tree"), 40));
    std::string bottom = "tree";
    for (int i = 0; i < 40; ++i)
        bottom += "/d";
    t.file(bottom + "/leaf", 1);

    TreeWalk::Options options;
    options.maxOpen = 3;
    {
        Recorder whole;
        TreeWalk walk(options);
        const UniqueFd root(::open(t.path("tree").c_str(), O_RDONLY | O_DIRECTORY));
        EXPECT_TRUE(walk.walk(root.get(), whole));
        EXPECT_TRUE(walk.complete()) << walk.problem();
        EXPECT_EQ(whole.entries, 1);
        EXPECT_EQ(whole.left, 40);
    }

    // While the walk is at the bottom, level 10 moves into another folder: ".." of the folder
    // below it is no longer level 9, so the walk must stop rather than go on in "elsewhere".
    std::string level10 = "tree";
    for (int i = 0; i < 10; ++i)
        level10 += "/d";
    Recorder moved;
    moved.atBottom = [&] { std::filesystem::rename(t.path(level10), t.path("elsewhere/outside/d")); };
    TreeWalk walk(options);
    const UniqueFd root(::open(t.path("tree").c_str(), O_RDONLY | O_DIRECTORY));
    EXPECT_TRUE(walk.walk(root.get(), moved));
    EXPECT_FALSE(walk.complete());
    EXPECT_NE(walk.problem().find("moved"), std::string::npos) << walk.problem();
    EXPECT_FALSE(moved.leftOutside);
    EXPECT_LT(moved.left, 40);
}
