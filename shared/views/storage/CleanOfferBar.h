#pragma once

#include "ui/Palette.h"

#include <QString>

class PillButton;
class QWidget;

// The offer above a storage list to clean at once: a box tinted in `tint`, "<title> Reclaim <amount>"
// over `detail`, and a "Clean" button in `buttonForeground` on `tint`. The caller connects the button.
struct CleanOfferBar
{
    struct Look
    {
        QColor tint;
        double strokeOpacity;
        QString title;
        QString amount;
        QString detail;
        QColor buttonForeground;
    };

    CleanOfferBar(const Palette& palette, const Look& look);

    QWidget* box;
    PillButton* button;
};
