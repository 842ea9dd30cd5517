#pragma once

#include "ui/Palette.h"

#include <QList>
#include <QWidget>

// Seven thin capsules, one per tour step; the current step's is blue.
class TourProgressRow : public QWidget
{
    Q_OBJECT
public:
    explicit TourProgressRow(const Palette& palette, QWidget* parent = nullptr);

    void setStep(int step);
    void applyPalette(const Palette& palette);
    // The fill of each capsule, left to right, as painted.
    QList<QColor> capsuleColors() const;

    QSize sizeHint() const override { return {200, kHeight}; }
    QSize minimumSizeHint() const override { return {7, kHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kHeight = 3;
    static constexpr int kSpacing = 4;

    Palette m_palette;
    int m_step = 0;
};
