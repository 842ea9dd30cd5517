#include "StyleSheets.h"

namespace StyleSheets {

QString rgba(const QColor& color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF());
}

QString slimVerticalScrollBar(const QColor& handle, int width, int margin)
{
    return QStringLiteral("QScrollBar:vertical { width: %1px; background: transparent; margin: %2px; }"
                          "QScrollBar::handle:vertical { background: %3; border-radius: %4px; min-height: 24px; }"
                          "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                          "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
        .arg(width)
        .arg(margin)
        .arg(handle.name(QColor::HexArgb))
        .arg((width - 2 * margin) / 2);
}

} // namespace StyleSheets
