#include "AppDelegate.h"
#include "SingleInstance.h"
#include "UnixSignalWatcher.h"

#include <QApplication>
#include <QSessionManager>

#include <csignal>

namespace {

// No desktop to show anything on: the program only samples.
bool isHeadless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane Pro"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setDesktopFileName(QStringLiteral("quorvane-pro"));
    // The program lives in the tray; closing its windows only hides them.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.claim())
        return 0;

    AppDelegateOptions options;
    // --open-popover shows the popover at once, also offscreen (where the program otherwise shows nothing).
    options.openPopover = QApplication::arguments().contains(QStringLiteral("--open-popover"));
    options.headless = isHeadless() && !options.openPopover;
    AppDelegate delegate(options);
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate, &AppDelegate::showForSecondStart);

    UnixSignalWatcher unixSignals({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&unixSignals, &UnixSignalWatcher::received, &delegate, &AppDelegate::requestQuit);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
        [&delegate](QSessionManager&) { delegate.requestQuit(); });

    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
