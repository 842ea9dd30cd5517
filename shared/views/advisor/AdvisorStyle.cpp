#include "AdvisorStyle.h"

#include "ui/Fonts.h"
#include "ui/Labels.h"
#include "ui/StyleSheets.h"
#include "ui/SymbolIcon.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

namespace AdvisorStyle {

QFont font(TextStyle style, QFont::Weight weight)
{
    switch (style) {
    case TextStyle::largeTitle:
        return Fonts::system(26, weight);
    case TextStyle::title:
        return Fonts::system(22, weight);
    case TextStyle::title2:
        return Fonts::system(17, weight);
    case TextStyle::headline:
        return Fonts::system(13, weight == QFont::Normal ? QFont::DemiBold : weight);
    case TextStyle::body:
        return Fonts::system(13, weight);
    case TextStyle::subheadline:
        return Fonts::system(11, weight);
    case TextStyle::caption:
        return Fonts::system(10, weight);
    case TextStyle::caption2:
        return Fonts::system(10, weight);
    }
    return Fonts::system(13, weight);
}

QLabel* label(const QString& text, TextStyle style, const QColor& color, QFont::Weight weight)
{
    auto* result = Labels::label(text, font(style, weight), color);
    result->setTextFormat(Qt::PlainText);
    return result;
}

QLabel* wrappedLabel(const QString& text, TextStyle style, const QColor& color)
{
    auto* result = label(text, style, color);
    result->setWordWrap(true);
    return result;
}

void setSymbol(QLabel* label, const QString& symbol, int pixelSize, const QColor& color)
{
    label->setPixmap(SymbolIcon::pixmap(
        symbol, pixelSize, color, label->devicePixelRatioF() < 2 ? 2.0 : label->devicePixelRatioF()));
}

QLabel* symbolLabel(const QString& symbol, int pixelSize, const QColor& color, int width)
{
    auto* result = new QLabel;
    setSymbol(result, symbol, pixelSize, color);
    result->setAlignment(Qt::AlignCenter);
    if (width > 0)
        result->setFixedWidth(width);
    return result;
}

void fillBackground(QWidget* widget, const Palette& palette)
{
    widget->setAutoFillBackground(true);
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, palette.background);
    pal.setColor(QPalette::Base, palette.background);
    widget->setPalette(pal);
}

QScrollArea* scrollArea(QWidget* content, const Palette& palette)
{
    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->verticalScrollBar()->setStyleSheet(
        StyleSheets::slimVerticalScrollBar(withOpacity(palette.secondaryText, 0.45), 8, 2));
    return scroll;
}

QString borderedButtonStyle(const Palette& palette)
{
    return QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3; border-radius: 5px;"
                          " padding: 2px 8px; }")
        .arg(palette.card.name(QColor::HexArgb), palette.text.name(),
            withOpacity(palette.secondaryText, 0.3).name(QColor::HexArgb));
}

QColor rankColor(long long rank, const Palette& palette)
{
    switch (rank) {
    case 1:
        return palette.blue;
    case 2:
        return palette.purple;
    case 3:
        return palette.green;
    default:
        return palette.secondaryText;
    }
}

} // namespace AdvisorStyle
