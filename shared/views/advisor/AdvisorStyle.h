#pragma once

#include "ui/Labels.h"
#include "ui/Palette.h"

#include <QFont>
#include <QString>

class QLabel;
class QScrollArea;

// The text styles of the advisor's windows, in pixel sizes, and small builders for their labels.
namespace AdvisorStyle {

enum class TextStyle { largeTitle, title, title2, headline, body, subheadline, caption, caption2 };

QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);
QLabel* label(const QString& text, TextStyle style, const QColor& color, QFont::Weight weight = QFont::Normal);
// A label that wraps onto as many lines as it needs.
QLabel* wrappedLabel(const QString& text, TextStyle style, const QColor& color);
using Labels::setLabelColor;
// A label showing a symbol `pixelSize` tall.
QLabel* symbolLabel(const QString& symbol, int pixelSize, const QColor& color, int width = 0);
void setSymbol(QLabel* label, const QString& symbol, int pixelSize, const QColor& color);
// Paints `widget`'s background, and that of the scroll areas inside it, in the theme's background.
void fillBackground(QWidget* widget, const Palette& palette);
// A vertically scrolling area for `content`: no frame, no horizontal bar, and a slim indicator in the
// theme's colours instead of the desktop's default bar.
QScrollArea* scrollArea(QWidget* content, const Palette& palette);
// The style sheet of a small bordered button: the card colour, a faint outline.
QString borderedButtonStyle(const Palette& palette);
// The colour of a rank: 1 blue, 2 purple, 3 green, any other the secondary colour.
QColor rankColor(long long rank, const Palette& palette);

} // namespace AdvisorStyle
