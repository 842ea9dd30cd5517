#pragma once

#include "records/AppTheme.h"
#include "ui/Palette.h"

#include <QImage>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <functional>

class SampleData;
class QWidget;

// What a render is given: the theme to draw in and the sample figures to show.
struct SnapshotContext
{
    AppTheme theme;
    Palette palette;
    SampleData& data;
};

// Every named picture the snapshot program writes. A view adds itself with one add() per picture,
// in a register function of its own called from main().
class SnapshotRegistry
{
public:
    using Render = std::function<QImage(const SnapshotContext&)>;

    void add(const QString& name, Render render);

    struct Entry
    {
        QString name;
        Render render;
    };
    const QList<Entry>& entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
};

// The free area of a short screen (1920 x 1080 at scale 2, less a panel), where the windows are pictured
// and audited too, and the title bar a window manager sets above a window there.
constexpr QRect kShortScreen {0, 0, 960, 500};
constexpr QMargins kTitleBar {0, 24, 0, 0};
// The whole of a 1366 x 768 laptop screen at scale 2, smaller than the settings window.
constexpr QRect kSmallScreen {0, 0, 683, 384};
// A window dragged larger than its content, or maximised on a large screen.
constexpr QSize kEnlargedWindow {1600, 1000};

// What a grab waits for before the picture is taken.
enum class Settle {
    // The work the view started on the thread pool (facts it loads, scans, rankings) has come back, for
    // at most kSettleBoundMs.
    backgroundWork,
    // Nothing: the picture shows the view while its work is still running.
    none,
};
constexpr int kSettleBoundMs = 5000;

// Lets events run until the global thread pool has been idle for a few rounds, for at most `boundMs`.
void settleBackgroundWork(int boundMs = kSettleBoundMs);
// Lets events run until `done` holds, for at most kSettleBoundMs.
void waitFor(const std::function<bool()>& done);

// A widget shown offscreen at its size hint (or `size`, the size its host gives it), on the theme's
// background, at `scale` device pixels per logical pixel. While a layout audit runs, the audit inspects
// the widget as it is grabbed.
QImage grabWidget(QWidget& widget, const Palette& palette, qreal scale = 2.0, QSize size = {},
    Settle settle = Settle::backgroundWork);
// A window the program opened itself (a question over a view), as it paints itself, its own background
// included, at `scale`; watched by a running audit as grabWidget() is.
QImage grabWindow(QWidget& window, qreal scale = 2.0);
// The height `widget` needs at `width`: its height for that width where it has one (wrapped text), else
// its size hint's.
int contentHeight(const QWidget& widget, int width);
// An image enlarged `factor` times without smoothing, so single pixels stay visible.
QImage magnified(const QImage& image, int factor);
