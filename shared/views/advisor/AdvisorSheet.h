#pragma once

#include "ui/Palette.h"

#include <QDialog>

class QPushButton;

// The model advisor as the suggestion card opens it: 500 x 450, "Close" at the top right above the
// advisor. It is a window of its own, not a child of the window that shows the card: the popover closes
// whenever the user turns elsewhere, and the advisor must stay while its questionnaire is answered.
// Close, Escape and the window's close button all reject it.
class AdvisorSheet : public QDialog
{
    Q_OBJECT
public:
    static constexpr QSize kSize {500, 450};

    // Takes `advisor` as its content, below the Close row.
    explicit AdvisorSheet(QWidget* advisor);

    QPushButton* closeButton() const { return m_close; }
    // Shows the sheet in front. The first time it is placed centred over `over`'s window, inside that
    // screen's free area; later it stays where the user left it.
    void present(const QWidget* over);
    // Where a sheet whose frame (title bar and borders included) is `frame` goes over a window of frame
    // `host` on a screen whose free area is `available`: the top-left corner of its frame.
    static QPoint placement(const QRect& host, const QSize& frame, const QRect& available);

private:
    void applyPalette(const Palette& palette);

    QPushButton* m_close;
};
