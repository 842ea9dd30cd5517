#include "SampleData.h"
#include "SampleSettings.h"
#include "SnapshotRegistry.h"

#include "core/HelperAccess.h"
#include "records/ThemeManager.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsTour.h"
#include "settings/SettingsView.h"
#include "shell/HostWindow.h"
#include "views/privacy/GranularClearView.h"
#include "views/privacy/HelpGuideView.h"

#include <QMessageBox>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
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

// The Personas and Sensors pages of a copy the helper does not act for.
QImage wholePageWithoutHelper(const SnapshotContext& c, int tab)
{
    SampleSettings sample(c.data);
    sample.viewModel->setHelperAccess(HelperAccess::notInstalled);
    std::unique_ptr<QWidget> page(SettingsPages::create(tab, *sample.view));
    return grabSettingsPage(*page, c);
}

QImage tour(const SnapshotContext& c, int step, bool helper = true)
{
    SampleSettings sample(c.data);
    if (!helper)
        sample.viewModel->setHelperAccess(HelperAccess::notInstalled);
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

// The question "Clear Everything" on the Privacy page asks, as the program's own dialogs put it, over the
// settings window it opens on.
QImage clearEverythingQuestion(const SnapshotContext& c)
{
    SampleSettings sample(c.data);
    const auto& tabs = SettingsView::sidebarTabs();
    const auto privacy = std::find_if(tabs.begin(), tabs.end(),
        [](const SettingsView::SidebarTab& tab) { return qstrcmp(tab.title, "Privacy") == 0; });
    sample.view->setActiveTab(int(privacy - tabs.begin()));
    QImage picture = grabWidget(*sample.view, c.palette, 2.0, sample.view->size());
    auto* clear = sample.view->findChild<GranularClearView*>();
    if (!clear)
        return picture;
    clear->requestClearEverything();
    auto* box = sample.view->findChild<QMessageBox*>();
    if (!box)
        return picture;
    const QImage question = grabWindow(*box, picture.devicePixelRatio());
    box->reject();
    QPainter painter(&picture);
    const QSize area = picture.deviceIndependentSize().toSize();
    painter.drawImage(QPoint((area.width() - box->width()) / 2, 60), question);
    return picture;
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
    // A screen smaller than the window: the window takes the screen, and the content scrolls inside it.
    registry.add(QStringLiteral("frame-settings-window-small-screen"), [frame](const SnapshotContext& c) {
        SampleSettings sample(c.data);
        HostWindow window(QStringLiteral("Quorvane Settings"), sample.view.get(), QSize(680, 520));
        window.reframe(QRect(QPoint(180, 231), frame), kSmallScreen);
        const QImage image = grabWidget(window, c.palette, 2.0, window.size());
        sample.view->setParent(nullptr);
        return image;
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
    registry.add(QStringLiteral("settings-tour-step3-without-helper"),
        [](const SnapshotContext& c) { return tour(c, 3, false); });
    for (int tab : {1, 5})
        registry.add(QStringLiteral("settings-page-%1-without-helper").arg(tab, 2, 10, QLatin1Char('0')),
            [tab](const SnapshotContext& c) { return wholePageWithoutHelper(c, tab); });
    registry.add(QStringLiteral("settings-clear-everything-question"), clearEverythingQuestion);
    registry.add(QStringLiteral("help-guide"), [](const SnapshotContext& c) {
        HelpGuideView guide(ThemeManager::shared());
        return grabSettingsPage(guide, c);
    });
}
