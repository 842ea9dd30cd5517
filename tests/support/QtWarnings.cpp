#include "QtWarnings.h"

#include <QHash>
#include <QMutex>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace {

QMutex mutex;
// Each fragment let through, with the warnings it matched.
QHash<QString, int> expected;
QtMessageHandler previous = nullptr;

// The offscreen platform that runs the view tests has no window system to pass size hints to, to raise
// a window in or to grab input from (as a popup does); the messages say so about the platform, not the view.
bool isPlatformNotice(const QString& message)
{
    return message == QLatin1String("This plugin does not support propagateSizeHints()")
        || message == QLatin1String("This plugin does not support raise()")
        || message == QLatin1String("This plugin does not support grabbing the keyboard")
        || message == QLatin1String("This plugin does not support grabbing the mouse");
}

bool isExpected(const QString& message)
{
    QMutexLocker lock(&mutex);
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (message.contains(it.key())) {
            ++it.value();
            return true;
        }
    }
    return false;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const bool warning = type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg;
    if (!warning || isPlatformNotice(message) || isExpected(message)) {
        if (!warning && previous)
            previous(type, context, message);
        return;
    }
    ADD_FAILURE() << "Qt warning: " << message.toStdString()
                  << (context.file ? " (" + std::string(context.file) + ":" + std::to_string(context.line) + ")"
                                   : std::string());
    if (previous)
        previous(type, context, message);
}

} // namespace

void failOnQtWarnings()
{
    previous = qInstallMessageHandler(handler);
}

ExpectedQtWarning::ExpectedQtWarning(const QString& fragment)
    : m_fragment(fragment)
{
    QMutexLocker lock(&mutex);
    expected.insert(m_fragment, 0);
}

ExpectedQtWarning::~ExpectedQtWarning()
{
    QMutexLocker lock(&mutex);
    expected.remove(m_fragment);
}

int ExpectedQtWarning::count() const
{
    QMutexLocker lock(&mutex);
    return expected.value(m_fragment);
}
