#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "engines/OllamaModel.h"
#include "engines/SystemMemoryState.h"
#endif
#include "ui/Palette.h"

#include <QList>
#include <QWidget>

#include <vector>

class ThemeManager;

// Memory as one bar split into system, each loaded model, free headroom and swap, with a tooltip per
// segment and a legend that ends in the headroom figure coloured by how much room is left.
class MemorySplitView : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kBarHeight = 18;
    static constexpr double kGap = 2;
    static constexpr double kMinimumWidth = 4;

    struct Segment
    {
        double width = 0;
        QColor color;
        QString toolTip;
    };

    MemorySplitView(const SystemMemoryState& state, std::vector<OllamaModel> loadedModels, ThemeManager& themes,
        QWidget* parent = nullptr);

    void setState(const SystemMemoryState& state, std::vector<OllamaModel> loadedModels);

    // The segments, left to right, for a bar `barWidth` wide (widths are not normalised to fit).
    static QList<Segment> segments(
        const SystemMemoryState& state, const std::vector<OllamaModel>& loadedModels, double barWidth);
    static QColor headroomColor(double headroomGB);
    static QColor modelColor(int index);
    // The legend's texts: "System: 12.3GB", "Models: 8.0GB" (only with loaded models).
    QStringList legendTexts() const;
    // "6.5GB headroom", preceded by the warning sign below 8 GB.
    QString headroomText() const;
    bool showsHeadroomWarning() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void paintBar(QPainter& p, const QRectF& bar) const;

    SystemMemoryState m_state;
    std::vector<OllamaModel> m_loadedModels;
    Palette m_palette;
};
