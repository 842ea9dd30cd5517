#include "SessionWindowManagers.h"

#include "platform/x11/XcbWindowManagerReader.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

std::shared_ptr<const platform::WindowManagerReader> sessionWindowManagers(const platform::SessionEnvironment& session)
{
    if (!platform::SessionEnvironment::displayNumber(session.display))
        return nullptr;
    xcb_connection_t* connection = nullptr;
#if QT_CONFIG(xcb)
    if (qGuiApp && session.display == platform::SessionEnvironment::current().display) {
        if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            connection = x11->connection();
    }
#endif
    if (!connection && !session.waylandDisplay.empty())
        return nullptr;
    return std::make_shared<platform::XcbWindowManagerReader>(session.display, connection);
}
