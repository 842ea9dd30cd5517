#pragma once

#include "ui/Palette.h"

#include <QWidget>

class QPushButton;

// Back, Skip, a gap, then Next: the buttons under both tour cards.
class TourButtonRow : public QWidget
{
    Q_OBJECT
public:
    TourButtonRow(const Palette& palette, QWidget* parent = nullptr);

    QPushButton* back() const { return m_back; }
    QPushButton* skip() const { return m_skip; }
    QPushButton* next() const { return m_next; }

    void applyPalette(const Palette& palette);

private:
    QPushButton* m_back;
    QPushButton* m_skip;
    QPushButton* m_next;
};
