#include "ScreenRefreshRate.h"

#include <QGuiApplication>
#include <QScreen>
#include <qpa/qplatformscreen.h>

#include <cmath>

namespace ScreenRefreshRate {

std::optional<double> reported(QStringView platformName, double platformRate)
{
    // X11 reads the mode through RandR, Wayland from the compositor's output, eglfs from KMS.
    const bool readsMode
        = platformName == u"xcb" || platformName.startsWith(u"wayland") || platformName.startsWith(u"eglfs");
    if (!readsMode || !std::isfinite(platformRate) || platformRate < 1.0)
        return std::nullopt;
    return platformRate;
}

std::optional<double> of(const QScreen* screen)
{
    if (!screen || !screen->handle())
        return std::nullopt;
    return reported(QGuiApplication::platformName(), screen->handle()->refreshRate());
}

} // namespace ScreenRefreshRate
