#include "views/privacy/HelpGuideView.h"
#include "core/UserDefaults.h"
#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(HelpGuideViewTest, SevenSectionsShownWholeWithTheirLineBreaks)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("settings.conf"));
    ThemeManager theme(defaults);
    HelpGuideView guide(theme);
    const auto sections = guide.shownSections();
    ASSERT_EQ(sections.size(), 7);
    QStringList titles;
    for (const auto& s : sections)
        titles.append(s.title);
    EXPECT_EQ(titles,
        QStringList({"1. Local AI Monitor & Telemetry", "2. Persona Modes & Smart Freeze",
            "3. Memory Headroom Management", "4. Real-Time Charts & Sparklines", "5. Themes",
            "6. Tray Icon & Badge States", "7. Settings Overview"}));

    // Sections 2, 3 and 6 end on a sentence after an empty line; 7 ends on its last bullet.
    for (int i : {1, 2, 5}) {
        const QString body = sections[i].body;
        const int gap = body.lastIndexOf("\n\n");
        ASSERT_GT(gap, 0) << i;
        EXPECT_FALSE(body.mid(gap + 2).contains('\n')) << i;
        EXPECT_FALSE(body.mid(gap + 2).startsWith(QStringLiteral("•"))) << i;
    }
    EXPECT_FALSE(sections[0].body.contains('\n'));
    EXPECT_TRUE(sections[6].body.endsWith("• About: version info and lifetime stats"));
    EXPECT_TRUE(sections[1].body.contains("• AI First Mode:"));
    EXPECT_TRUE(sections[1].body.contains("• Battery Mode:"));
    // Personas pause processes, and only with the helper; nothing sets a priority, and the privacy page sets
    // nothing of what is stored.
    EXPECT_TRUE(sections[1].body.startsWith("With the helper,"));
    EXPECT_FALSE(sections[1].body.contains("priorit"));
    EXPECT_FALSE(sections[6].body.contains("configure what data"));
    EXPECT_TRUE(sections[3].body.contains("last 60 samples"));
    // The popover header has no chart switch; the section names the buttons it has.
    EXPECT_FALSE(sections[3].body.contains("View Charts"));
    EXPECT_TRUE(sections[3].body.contains("Tour plays the guided tour"));
    EXPECT_TRUE(sections[4].body.startsWith("Switch between the Standard, Cyberpunk, Nordic, Ink, and Light themes"));
    EXPECT_TRUE(sections[6].body.contains("• Storage & Caches:"));

    // Every body is on screen whole, never cut.
    QStringList shown;
    for (QLabel* label : guide.findChildren<QLabel*>("guideBody"))
        shown.append(label->text());
    ASSERT_EQ(shown.size(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(shown[i], sections[i].body);
    }
    guide.resize(560, 300);
    EXPECT_GT(guide.heightForWidth(560), 300); // taller than its host: it scrolls
    EXPECT_EQ(guide.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(HelpGuideViewTest, FollowsTheThemesAccent)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("settings.conf"));
    ThemeManager theme(defaults);
    HelpGuideView guide(theme);
    EXPECT_EQ(guide.tint(), accentColor(AppTheme::standard));
    theme.setCurrentTheme(AppTheme::ink);
    EXPECT_EQ(guide.tint(), accentColor(AppTheme::ink));
    theme.setCurrentTheme(AppTheme::light);
    EXPECT_EQ(guide.tint(), accentColor(AppTheme::light));
}

} // namespace
