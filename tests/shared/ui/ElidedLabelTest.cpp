#include "ui/ElidedLabel.h"

#include <gtest/gtest.h>

namespace {

const QString kLong
    = QStringLiteral("llama-3.1-70b-instruct is loaded and holds most of the memory the machine can spare");

} // namespace

TEST(ElidedLabelTest, OneLineEndsInAnEllipsisAndOffersTheFullTextAsToolTip)
{
    ElidedLabel label(kLong, 1);
    label.resize(120, 20);
    label.show(); // a hidden widget hears of its new size only when shown
    const QStringList lines = label.lines(120);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QChar(0x2026)));
    EXPECT_LE(label.fontMetrics().horizontalAdvance(lines[0]), 120);
    EXPECT_TRUE(label.isElided());
    EXPECT_EQ(label.toolTip(), kLong);

    label.setText(QStringLiteral("short"));
    EXPECT_FALSE(label.isElided());
    EXPECT_TRUE(label.toolTip().isEmpty());
}

TEST(ElidedLabelTest, TwoLinesBreakAtWordsAndCutOnlyTheSecond)
{
    ElidedLabel label(kLong, 2);
    label.resize(160, 40);
    label.show();
    const QStringList lines = label.lines(160);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_FALSE(lines[0].endsWith(QChar(0x2026)));
    EXPECT_TRUE(kLong.startsWith(lines[0]));
    EXPECT_TRUE(lines[1].endsWith(QChar(0x2026)));
    EXPECT_TRUE(label.isElided());

    // A text that fits on two lines is shown whole, its line break folded into a space.
    label.setText(QStringLiteral("two\nwords"));
    EXPECT_EQ(label.lines(160), QStringList {QStringLiteral("two words")});
    EXPECT_FALSE(label.isElided());
    EXPECT_TRUE(label.lines(0).isEmpty());
}
