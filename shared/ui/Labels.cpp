#include "Labels.h"

#include <QLabel>

namespace Labels {

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    result->setFont(font);
    setLabelColor(result, color);
    return result;
}

void setLabelColor(QLabel* label, const QColor& color)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    label->setPalette(pal);
}

} // namespace Labels
