#pragma once

#include <algorithm>

#include "ui/Fonts.h"
#include "ui/Labels.h"
#include "ui/Palette.h"
#include "ui/StyleSheets.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
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

using Labels::label;
using Labels::setLabelColor;

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
    // setWidget() gives the list a filled background; rows sit on the panel's own.
    list->setAutoFillBackground(false);
    return scroll;
}

// A thin scroll bar in the theme's secondary colour, so the rows keep the width.
inline void styleList(QScrollArea* scroll, const Palette& p)
{
    scroll->verticalScrollBar()->setStyleSheet(
        StyleSheets::slimVerticalScrollBar(withOpacity(p.secondaryText, 0.45), 6));
}

// Fits the list's height to its rows, up to the limit. A list that fills its host (the popover's
// storage tab) is as tall as its rows where the host has the room, and scrolls in whatever it has.
inline void fitListHeight(QScrollArea* scroll, bool fillsHost = false)
{
    const int rows = scroll->widget()->sizeHint().height();
    if (!fillsHost) {
        scroll->setFixedHeight(std::min(kListMaxHeight, rows));
        return;
    }
    scroll->setMinimumHeight(std::min(kListMaxHeight / 2, rows));
    scroll->setMaximumHeight(rows);
}

constexpr int kBodyPixels = 12;
constexpr int kSmallPixels = 10;

} // namespace StorageStyle
