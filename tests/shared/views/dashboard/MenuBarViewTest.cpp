#include "views/dashboard/MenuBarView.h"
#include "core/UserDefaults.h"
#include "engines/DashboardViewModel.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "engines/ThermalEngine.h"
#include "records/ActivePersonaTracker.h"
#include "records/ThemeManager.h"
#include "ui/Palette.h"
#include "ui/ViewSettings.h"
#include "views/dashboard/MenuBarDrawing.h"
#include "views/dashboard/SparklineView.h"

#include <QDir>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

using Level = QVThermalState::Level;
using Piece = MenuBarDrawing::Piece;
using Tone = StateIndicator::Tone;

namespace {

QList<Piece> pieces(const MenuBarFigures& f)
{
    QList<Piece> out;
    for (const auto& item : MenuBarDrawing::layout(f).items)
        out << item.piece;
    return out;
}

std::optional<StateIndicator> indicator(
    std::optional<Level> level, QSet<QString> personas, std::optional<double> headroom = std::nullopt)
{
    MenuBarFigures f;
    f.thermalLevel = level;
    f.activePersonas = std::move(personas);
    f.headroomGB = headroom;
    return f.stateIndicator();
}

StateIndicator is(const char* symbol, Tone tone)
{
    return {QString::fromLatin1(symbol), tone};
}

// The strip drawn four times enlarged on a transparent background.
QImage render(const MenuBarFigures& f, const Palette& palette)
{
    const QSizeF size = MenuBarDrawing::layout(f).size;
    QImage image((size * 4).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(4, 4);
    MenuBarDrawing::paint(p, f, palette, MenuBarDrawing::ringFraction(f.cpuUsage));
    return image;
}

// The colour at the top of the ring, where the arc starts.
QColor ringTop(double cpuUsage, const Palette& palette)
{
    MenuBarFigures f;
    f.cpuUsage = cpuUsage;
    f.showSparkline = f.showTextReadouts = false;
    const QRectF ring = MenuBarDrawing::layout(f).items.at(0).rect;
    return render(f, palette).pixelColor(qRound(ring.center().x() * 4), qRound((ring.top() + 1.25) * 4));
}

} // namespace

TEST(MenuBarIndicatorTest, RulesInOrder)
{
    const QSet<QString> none;
    EXPECT_EQ(indicator(std::nullopt, none), std::nullopt);
    EXPECT_EQ(indicator(Level::balanced, none, 8.0), std::nullopt);
    EXPECT_EQ(indicator(Level::warm, none), std::nullopt);
    // No reading is no heat: the personas and memory decide.
    EXPECT_EQ(indicator(Level::unknown, none), std::nullopt);
    EXPECT_EQ(indicator(Level::unknown, {"Compile Mode"}), is("snowflake", Tone::blue));
    EXPECT_EQ(indicator(Level::critical, none), is("flame.fill", Tone::red));
    // Heat comes before every persona and before low memory.
    EXPECT_EQ(indicator(Level::throttling, {"Compile Mode", "AI First Mode"}, 0.5), is("flame.fill", Tone::red));
    EXPECT_EQ(indicator(Level::warm, {"compileMode", "Battery Mode"}), is("snowflake", Tone::blue));
    EXPECT_EQ(indicator(std::nullopt, {"Battery Mode", "AI First Mode"}), is("brain.fill", Tone::purple));
    EXPECT_EQ(indicator(std::nullopt, {"Battery Mode"}, 1.0), is("leaf.fill", Tone::green));
}

TEST(MenuBarIndicatorTest, PersonaNamesMatchWholeAndCaseSensitive)
{
    for (const char* ai : {"aiFirstMode", "AI-First Mode", "AI First Mode"})
        EXPECT_EQ(indicator(std::nullopt, {ai}), is("brain.fill", Tone::purple)) << ai;
    for (const char* battery : {"batteryMode", "Battery Saver", "Battery Mode"})
        EXPECT_EQ(indicator(std::nullopt, {battery}), is("leaf.fill", Tone::green)) << battery;
    for (const char* other : {"compile mode", "Compile", "Compile Mode ", "ai first mode", "battery"})
        EXPECT_EQ(indicator(std::nullopt, {other}), std::nullopt) << other;
}

TEST(MenuBarIndicatorTest, LowMemoryOnlyBelowTwoGigabytes)
{
    EXPECT_EQ(indicator(std::nullopt, {}, 2.0), std::nullopt);
    EXPECT_EQ(indicator(std::nullopt, {}, 1.99), is("exclamationmark.triangle.fill", Tone::orange));
    EXPECT_EQ(indicator(std::nullopt, {}, std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(stateTag("exclamationmark.triangle.fill"), "MEM");
    EXPECT_EQ(stateTag("flame.fill"), "HOT");
    EXPECT_EQ(stateTag("snowflake"), "BUILD");
    EXPECT_EQ(stateTag("brain.fill"), "AI");
    EXPECT_EQ(stateTag("leaf.fill"), "ECO");
    EXPECT_EQ(stateTag("cpu"), "");
}

TEST(MenuBarLayoutTest, PiecesFollowSettingsAndIndicator)
{
    MenuBarFigures f;
    EXPECT_EQ(pieces(f), (QList<Piece> {Piece::ring, Piece::readouts, Piece::sparkline}));

    f.thermalLevel = Level::throttling;
    EXPECT_EQ(pieces(f), (QList<Piece> {Piece::symbol, Piece::ring, Piece::readouts, Piece::sparkline, Piece::pill}));

    f.hideCpuRing = true;
    EXPECT_FALSE(pieces(f).contains(Piece::ring));

    f = MenuBarFigures();
    f.showCPURing = f.showSparkline = f.showTextReadouts = false;
    const auto empty = MenuBarDrawing::layout(f);
    EXPECT_TRUE(empty.items.isEmpty());
    EXPECT_DOUBLE_EQ(empty.size.width(), 8.0); // only the side padding

    f.activePersonas = {"Compile Mode"};
    const auto two = MenuBarDrawing::layout(f);
    ASSERT_EQ(two.items.size(), 2);
    EXPECT_DOUBLE_EQ(two.items[0].rect.left(), 4.0);
    EXPECT_DOUBLE_EQ(two.items[1].rect.left(), two.items[0].rect.right() + 5.0);
    EXPECT_DOUBLE_EQ(two.size.width(), two.items[1].rect.right() + 4.0);
    for (const auto& item : two.items)
        EXPECT_LE(item.rect.bottom(), MenuBarDrawing::kHeight);
}

TEST(MenuBarLayoutTest, ReadoutsShowWholeNumbersAndColourTheUnroundedHeadroom)
{
    MenuBarFigures f;
    f.cpuUsage = 37.6;
    const double cpuOnly = MenuBarDrawing::layout(f).items[1].rect.height();
    EXPECT_EQ(MenuBarDrawing::cpuText(f.cpuUsage), "38%");
    EXPECT_EQ(MenuBarDrawing::cpuText(std::numeric_limits<double>::quiet_NaN()), "—");

    f.headroomGB = 1.6;
    EXPECT_GT(MenuBarDrawing::layout(f).items[1].rect.height(), cpuOnly); // the second line appears
    EXPECT_EQ(MenuBarDrawing::headroomText(*f.headroomGB), "2G");
    EXPECT_TRUE(f.memoryWarning());
    f.headroomGB = 2.0;
    EXPECT_FALSE(f.memoryWarning());
    EXPECT_TRUE(MenuBarDrawing::toolTip(f).contains("38%"));
    EXPECT_TRUE(MenuBarDrawing::toolTip(f).contains("2G"));
}

TEST(MenuBarLayoutTest, RingArcColourAndExtent)
{
    const Palette palette = Palette::forTheme(AppTheme::standard);
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40
            && std::abs(a.blue() - b.blue()) < 40 && a.alpha() > 200;
    };
    EXPECT_TRUE(near(ringTop(80, palette), palette.blue));
    EXPECT_TRUE(near(ringTop(80.1, palette), palette.red));
    EXPECT_LT(ringTop(-5, palette).alpha(), 100); // only the faint track
    EXPECT_DOUBLE_EQ(MenuBarDrawing::ringFraction(140), 1.0);
    EXPECT_LE(MenuBarDrawing::ringFraction(-5), 0.0);
    EXPECT_EQ(MenuBarDrawing::ringFraction(std::numeric_limits<double>::infinity()), 0.0);
}

TEST(SparklineTest, FewerThanTwoValuesDrawNothingAndZerosLieOnTheBottomEdge)
{
    for (const QList<double>& data : {QList<double> {}, QList<double> {50}}) {
        QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        SparklineView::paint(p, QRectF(0, 0, 40, 20), data, Qt::red);
        p.end();
        EXPECT_EQ(image, [] {
            QImage blank(40, 20, QImage::Format_ARGB32_Premultiplied);
            blank.fill(Qt::transparent);
            return blank;
        }());
    }
    QImage flat(40, 20, QImage::Format_ARGB32_Premultiplied);
    flat.fill(Qt::transparent);
    QPainter p(&flat);
    SparklineView::paint(p, QRectF(0, 0, 40, 20), QList<double>(60, 0.0), Qt::red);
    p.end();
    EXPECT_GT(qAlpha(flat.pixel(20, 19)), 0);
    EXPECT_EQ(qAlpha(flat.pixel(20, 10)), 0);
}

namespace {

// A dashboard model over an empty machine, fed fixed samples by hand.
struct MenuBarViewTest : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath("settings.conf")};
    ViewSettings settings {defaults};
    ThemeManager themes {defaults};
    std::unique_ptr<DashboardViewModel> model;

    void SetUp() override
    {
        QDir(dir.path()).mkpath("proc");
        QDir(dir.path()).mkpath("sys");
        DashboardSources sources;
        sources.procRoot = dir.filePath("proc").toStdString();
        sources.sysRoot = dir.filePath("sys").toStdString();
        sources.homePath = dir.path().toStdString();
        sources.publicAddressUrl = "http://127.0.0.1:9";
        model = std::make_unique<DashboardViewModel>(std::make_shared<MemoryEngine>(sources.procRoot),
            std::make_shared<OllamaEngine>("http://127.0.0.1:9"), std::make_shared<ThermalEngine>(sources.sysRoot),
            sources);
        ActivePersonaTracker::shared().updateActivePersonas({});
    }
    void TearDown() override { ActivePersonaTracker::shared().updateActivePersonas({}); }

    void publish(double cpu, double headroom, Level level)
    {
        DashboardSample s;
        s.cpuKind = DashboardSample::CpuKind::measured;
        s.cpuLoad.perCore = {cpu / 100, cpu / 100};
        s.cpuLoad.performanceSum = cpu / 50;
        s.cpuLoad.totalTicks = 100;
        s.memory.totalGB = 16;
        s.memory.freeGB = headroom / 2;
        s.memory.inactiveGB = headroom / 2;
        s.memory.aiModelsGB = 4;
        s.thermal = QVThermalState::forLevel(level);
        model->publishSample(s);
    }
};

} // namespace

TEST_F(MenuBarViewTest, FollowsModelPersonasSettingsAndTheme)
{
    MenuBarView view(*model, false, settings, ActivePersonaTracker::shared(), themes);
    EXPECT_FALSE(view.figures().headroomGB.has_value());
    EXPECT_EQ(view.figures().aiMemoryHistory.size(), DashboardViewModel::kHistoryLength);

    QSignalSpy redraws(&view, &MenuBarView::drawingChanged);
    publish(50, 1.5, Level::balanced);
    EXPECT_DOUBLE_EQ(view.figures().cpuUsage, 50);
    EXPECT_DOUBLE_EQ(*view.figures().headroomGB, 1.5);
    EXPECT_EQ(view.figures().aiMemoryHistory.last(), 25);
    EXPECT_EQ(view.figures().stateIndicator()->symbol, "exclamationmark.triangle.fill");
    EXPECT_GT(redraws.count(), 0);

    ActivePersonaTracker::shared().updateActivePersonas({"AI First Mode"});
    EXPECT_EQ(view.figures().stateIndicator()->symbol, "brain.fill");

    const int wide = view.sizeHint().width();
    ViewSettings(defaults).setShowMenuBarSparkline(false); // written from another window
    EXPECT_FALSE(view.figures().showSparkline);
    EXPECT_EQ(view.sizeHint().width(), wide - 22 - 5);

    themes.setCurrentTheme(AppTheme::light);
    EXPECT_EQ(view.palette().text, QColor(Qt::black));
}

TEST_F(MenuBarViewTest, MemorySampleThatFailedShowsTheDashWithoutWarning)
{
    MenuBarView view(*model, false, settings, ActivePersonaTracker::shared(), themes);
    DashboardSample unread; // /proc/meminfo unreadable: every size 0, no total
    unread.memory.aiModelsGB = 4;
    model->publishSample(unread);
    ASSERT_TRUE(view.figures().headroomGB.has_value());
    EXPECT_EQ(MenuBarDrawing::headroomText(*view.figures().headroomGB), "—"); // not "0G"
    EXPECT_FALSE(view.figures().memoryWarning());
    EXPECT_FALSE(view.figures().stateIndicator()); // no MEM pill
}

TEST_F(MenuBarViewTest, TrayIconAtEveryTraySizeCarriesTheDrawing)
{
    publish(92, 6, Level::critical);
    MenuBarView view(*model, false, settings, ActivePersonaTracker::shared(), themes);
    for (int size : MenuBarDrawing::kTraySizes) {
        const QImage icon = view.trayPixmap(size).toImage();
        // A square for the tray's square slot, even with the warning badge and every piece on.
        EXPECT_EQ(icon.height(), size);
        EXPECT_EQ(icon.width(), size);
        int inked = 0;
        for (int x = 0; x < icon.width(); ++x)
            inked += qAlpha(icon.pixel(x, size / 2)) > 0;
        EXPECT_GT(inked, 0) << size;
    }
    EXPECT_EQ(view.trayIcon().availableSizes().size(), MenuBarDrawing::kTraySizes.size());
    EXPECT_TRUE(view.trayToolTip().contains("92%"));
    EXPECT_TRUE(view.trayToolTip().contains("HOT"));
}

TEST_F(MenuBarViewTest, RingArcEasesToTheNewLoadInFourTenthsOfASecond)
{
    publish(20, 6, Level::balanced);
    MenuBarView view(*model, false, settings, ActivePersonaTracker::shared(), themes);
    EXPECT_DOUBLE_EQ(view.ringFraction(), 0.2); // no animation from nothing at creation
    publish(40, 6, Level::balanced);
    EXPECT_DOUBLE_EQ(view.ringFraction(), 0.4); // off screen the arc jumps

    view.show();
    publish(160, 6, Level::balanced);
    EXPECT_LT(view.ringFraction(), 1.0);
    QTest::qWait(MenuBarView::kRingAnimationMs + 150);
    EXPECT_DOUBLE_EQ(view.ringFraction(), 1.0); // above 100 % the circle is full, never more
}
