#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "AdvisorTexts.h"
#endif

#include "ui/Palette.h"

#include <QWidget>

// This machine's memory against common configurations: one bar per configuration on a common scale
// (the largest of the table and this machine), the bar equal to this machine's memory in the accent
// colour, and the share of configurations with less memory.
class MemoryComparisonView : public QWidget
{
    Q_OBJECT
public:
    MemoryComparisonView(
        double yourMemoryGB, const QList<AdvisorTexts::MemoryConfiguration>& comparisons, QWidget* parent = nullptr);

    double scale() const;
    // The share of its track row `index` fills, 0 to 1.
    double barFraction(int index) const;
    bool isHighlighted(int index) const;
    int rank() const { return AdvisorTexts::memoryRank(m_yourMemoryGB, m_comparisons); }
    // The heading over the bars (painted upper-cased): the table is of common configurations, whatever this
    // machine is.
    QString heading() const;
    QString rankSentence() const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_yourMemoryGB;
    QList<AdvisorTexts::MemoryConfiguration> m_comparisons;
    Palette m_palette;
};
