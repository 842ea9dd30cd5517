#include "SampleData.h"
#include "SampleSettings.h"
#include "SnapshotRegistry.h"

#include "records/ThemeManager.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsTour.h"
#include "settings/SettingsView.h"
#include "shell/HostWindow.h"
#include "views/privacy/HelpGuideView.h"

#include <QRegularExpression>

#include <memory>

namespace {

QImage window(const SnapshotContext& c, int tab)
{
    SampleSettings sample(c.data);
    sample.view->setActiveTab(tab);
    return grabWidget(*sample.view, c.palette, 2.0, sample.view->size());
}

// The whole of a page, however long, at the width the window gives it.
QImage wholePage(const SnapshotContext& c, int tab)
{
    SampleSettings sample(c.data);
    std::unique_ptr<QWidget> page(SettingsPages::create(tab, *sample.view));
    return grabSettingsPage(*page, c);
}

QImage tour(const SnapshotContext& c, int step)
{
    SampleSettings sample(c.data);
    sample.view->tour().start();
    for (int i = 0; i < step; ++i)
        sample.view->tour().next();
    return grabWidget(*sample.view, c.palette, 2.0, sample.view->size());
}

// The settings window as the program opens it at 680 x 520, which the 780-wide content widens, at `size` as
// the program frames it (780 x 540 1.5 s later, fitted to a short screen), or, not `framed`, as a window
// manager asks for it, which the window's one size refuses.
QImage windowFrame(const SnapshotContext& c, const QSize& size, bool framed = true)
{
    SampleSettings sample(c.data);
    HostWindow window(QStringLiteral("Quorvane Settings"), sample.view.get(), QSize(680, 520));
    if (framed)
        window.setFixedSize(size);
    const QImage image = grabWidget(window, c.palette, 2.0, size);
    sample.view->setParent(nullptr);
    return image;
}

} // namespace

void registerSettingsSnapshots(SnapshotRegistry& registry)
{
    const QSize frame(SettingsView::kWidth, SettingsView::kHeight);
    registry.add(
        QStringLiteral("frame-settings-window"), [frame](const SnapshotContext& c) { return windowFrame(c, frame); });
    registry.add(QStringLiteral("frame-settings-window-short-screen"), [frame](const SnapshotContext& c) {
        return windowFrame(c, HostWindow::fitted({180, 231}, frame, kTitleBar, kShortScreen).size());
    });
    registry.add(QStringLiteral("frame-settings-window-enlarged"),
        [](const SnapshotContext& c) { return windowFrame(c, kEnlargedWindow, false); });
    const auto& tabs = SettingsView::sidebarTabs();
    for (int tab = 0; tab < SettingsView::kTabCount; ++tab) {
        QString slug = QString::fromUtf8(tabs[static_cast<std::size_t>(tab)].title).toLower();
        slug.replace(QRegularExpression(QStringLiteral("[^a-z]+")), QStringLiteral("-"));
        registry.add(QStringLiteral("settings-%1-%2").arg(tab, 2, 10, QLatin1Char('0')).arg(slug),
            [tab](const SnapshotContext& c) { return window(c, tab); });
    }
    for (int tab : {0, 1, 2, 3, 10})
        registry.add(QStringLiteral("settings-page-%1").arg(tab, 2, 10, QLatin1Char('0')),
            [tab](const SnapshotContext& c) { return wholePage(c, tab); });
    for (int step = 0; step < SettingsTour::kStepCount; ++step)
        registry.add(QStringLiteral("settings-tour-step%1").arg(step),
            [step](const SnapshotContext& c) { return tour(c, step); });
    registry.add(QStringLiteral("help-guide"), [](const SnapshotContext& c) {
        HelpGuideView guide(ThemeManager::shared());
        return grabSettingsPage(guide, c);
    });
}
