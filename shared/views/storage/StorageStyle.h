#pragma once

#include <algorithm>

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

// Colours and texts shared by the storage view's parts.
namespace StorageStyle {

// The backdrop of unselected controls and of rows.
inline QColor controlBackground(const Palette& p)
{
    return p.card;
}
inline QColor textBackground(const Palette& p)
{
    return p.card;
}
// Text fixed to white reads in the theme's primary text colour on the light theme.
inline QColor onTint(const Palette& p)
{
    return p.light ? p.text : QColor(Qt::white);
}

inline QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

inline void setLabelColor(QLabel* l, const QColor& color)
{
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
}

constexpr int kListMaxHeight = 200;

// A frameless vertical list on the panel's own background, at most kListMaxHeight tall; rows go into
// `rows` (spacing 6) before its closing stretch.
inline QScrollArea* listArea(QVBoxLayout*& rows)
{
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMaximumHeight(kListMaxHeight);
    scroll->viewport()->setAutoFillBackground(false);
    auto* list = new QWidget;
    list->setAutoFillBackground(false);
    rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(6);
    rows->addStretch();
    scroll->setWidget(list);
    return scroll;
}

// Fits the list's height to its rows, up to the limit.
inline void fitListHeight(QScrollArea* scroll)
{
    scroll->widget()->adjustSize();
    scroll->setMinimumHeight(std::min(kListMaxHeight, scroll->widget()->sizeHint().height()));
}

constexpr int kBodyPixels = 12;
constexpr int kSmallPixels = 10;

} // namespace StorageStyle
