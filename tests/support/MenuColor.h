#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMenu>
#include <QPoint>

#include <algorithm>
#include <map>

// The colour most of a menu's own pixels have as it opens: its background, whatever style drew it.
inline QColor openedMenuColor(QMenu& menu)
{
    menu.popup(QPoint(0, 0));
    QApplication::processEvents();
    const QImage image = menu.grab().toImage();
    menu.hide();
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    const auto most = std::max_element(
        counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts.end() ? QColor() : QColor(most->first);
}
