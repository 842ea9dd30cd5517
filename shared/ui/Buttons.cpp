#include "Buttons.h"

#include <QPushButton>

namespace Buttons {

QPushButton* plain(const QString& text, const QFont& font, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFont(font);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace Buttons
