#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <optional>

class QWidget;

// The text checks of the layout audit, for the widgets whose text can be read back: QLabel and the kit's
// labels, the kit's elided label and pill, and Qt's own push buttons, check boxes, radio buttons, line
// edits and combo boxes.
namespace TextAudit {

struct Problem
{
    QString check;
    QString detail;
};

// Whether `widget` shows a text this namespace can check.
bool showsText(const QWidget& widget);
// The text shown, shortened for a finding line.
QString excerpt(const QWidget& widget);
// Where the widget draws its text, in its own coordinates.
QRect textRect(const QWidget& widget);
// A text wider or taller than its room without eliding or wrapping.
QList<Problem> fit(const QWidget& widget);
// The text's colour against the background `image` shows inside `area` (the visible part of the text's
// rectangle, in the image's logical coordinates) below 3:1.
std::optional<Problem> contrast(const QWidget& widget, const QImage& image, const QRect& area);

} // namespace TextAudit
