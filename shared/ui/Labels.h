#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// Labels in a given font and colour, as the pages build them.
namespace Labels {

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
// The colour a label draws its text in, plain or rich.
void setLabelColor(QLabel* label, const QColor& color);

} // namespace Labels
