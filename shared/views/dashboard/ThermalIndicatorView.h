#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "engines/QVThermalState.h"
#endif
#include "ui/Palette.h"

#include <QWidget>

#include <optional>

class ElidedLabel;
class QLabel;
class ThemeManager;

// One line for the thermal state: a glowing dot in the level's colour, "Thermal state: " and the state's
// name, a throttling warning when the state calls for one, and the offending process when one is known.
class ThermalIndicatorView : public QWidget
{
    Q_OBJECT
public:
    ThermalIndicatorView(const QVThermalState& state, ThemeManager& themes, QWidget* parent = nullptr);

    void setState(const QVThermalState& state);
    // None for a state without a reading, whose dot takes the theme's neutral secondary colour.
    static std::optional<QColor> levelColor(QVThermalState::Level level);

    QString stateText() const;
    bool showsWarning() const;
    // Empty when no offending process is known.
    QString offendingText() const;
    ElidedLabel* nameLabel() const { return m_name; }
    QWidget* levelDot() const { return m_dot; }
    ElidedLabel* offendingLabel() const { return m_offending; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr int kSpacing = 8;
    static constexpr int kPadding = 4;

    void refresh();
    int rowHeight() const;
    // Lays the row out to the width it has: dot, name, warning, and the offending process at the end.
    void placeChildren();

    QVThermalState m_state;
    Palette m_palette;
    QWidget* m_dot;
    ElidedLabel* m_name;
    QLabel* m_warning;
    ElidedLabel* m_offending;
};
