#include "Contrast.h"

#include <algorithm>
#include <cmath>

namespace Contrast {

double luminance(const QColor& color)
{
    const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double ratio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool reads(const QColor& text, const QColor& fill)
{
    return ratio(text, fill) >= kMinimumTextRatio;
}

QColor readableOn(const QColor& fill, const QColor& preferred)
{
    const QColor white(Qt::white);
    const QColor black(Qt::black);
    return readableOn(fill, preferred, ratio(white, fill) >= ratio(black, fill) ? white : black);
}

QColor readableOn(const QColor& fill, const QColor& preferred, const QColor& fallback)
{
    return reads(preferred, fill) ? preferred : fallback;
}

QColor over(const QColor& top, const QColor& bottom)
{
    const double a = top.alphaF();
    return QColor::fromRgbF(static_cast<float>(top.redF() * a + bottom.redF() * (1 - a)),
        static_cast<float>(top.greenF() * a + bottom.greenF() * (1 - a)),
        static_cast<float>(top.blueF() * a + bottom.blueF() * (1 - a)));
}

QColor readableShade(const QColor& color, const QColor& background)
{
    const QColor toward = luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    QColor shade = color;
    for (int step = 1; step <= 20 && ratio(shade, background) < kMinimumTextRatio; ++step) {
        const double t = step / 20.0;
        shade = QColor::fromRgbF(static_cast<float>(color.redF() * (1 - t) + toward.redF() * t),
            static_cast<float>(color.greenF() * (1 - t) + toward.greenF() * t),
            static_cast<float>(color.blueF() * (1 - t) + toward.blueF() * t), color.alphaF());
    }
    return shade;
}

} // namespace Contrast
