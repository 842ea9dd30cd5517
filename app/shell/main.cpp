#include "AppDelegate.h"
#include "SingleInstance.h"
#include "UnixSignalWatcher.h"

#include "platform/desktop/DesktopNotifier.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

// No desktop to show anything on: the program only samples.
bool isHeadless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// Before there is a tray: one console line, and a desktop notification where there is a desktop.
void tellUser(const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (!isHeadless())
        platform::DesktopNotifier().post("Quorvane Pro", message.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    // Held back until the event loop runs: a quit signal that comes while the object graph is built
    // would otherwise end the program with the default action, before anything could be resumed.
    UnixSignalWatcher::block({SIGTERM, SIGINT, SIGHUP});

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane Pro"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setDesktopFileName(QStringLiteral("quorvane-pro"));
    // The program lives in the tray; closing its windows only hides them.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.claim()) {
        if (!instance.message().isEmpty())
            tellUser(instance.message());
        return instance.runningCopyAnswered() ? 0 : 1;
    }

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
    QTimer::singleShot(0, &unixSignals, &UnixSignalWatcher::deliverBlocked);
    return QApplication::exec();
}
