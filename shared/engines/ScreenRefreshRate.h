#pragma once

#include <QStringView>

#include <optional>

class QScreen;

// The refresh rate of a screen as its display reports it. QScreen stands in 60 Hz for any rate below
// 1 Hz, and platforms that know no display (offscreen, minimal, VNC) answer 60 Hz by default; so the
// platform screen's own figure is asked, and only on platforms that read the display's mode.
namespace ScreenRefreshRate {

// Nothing when the rate is unknown.
std::optional<double> of(const QScreen* screen);
// The rule itself: the platform plug-in's name and the rate its screen reports.
std::optional<double> reported(QStringView platformName, double platformRate);

} // namespace ScreenRefreshRate
