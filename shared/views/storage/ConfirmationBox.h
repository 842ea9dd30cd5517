#pragma once

#include "ui/Palette.h"

#include <QList>
#include <QString>

class PillButton;
class QLabel;
class QWidget;

// The confirmation a storage tab shows above its list before it deletes anything: a box tinted in
// `tint` headed by a warning symbol, `title` and a close button, the `lines` below, then Cancel and the
// button that confirms (the trash symbol, `confirmText` in `confirmForeground` on `tint`). The caller
// connects the three buttons.
struct ConfirmationBox
{
    struct Look
    {
        QColor tint;
        QString title;
        QString confirmText;
        QColor confirmForeground;
    };

    ConfirmationBox(const Palette& palette, const Look& look, const QList<QLabel*>& lines);

    QWidget* box;
    PillButton* close;
    PillButton* cancel;
    PillButton* confirm;
};
