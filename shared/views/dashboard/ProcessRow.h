#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

class QToolButton;

// One process line: its icon (an image, else a symbol in the row's colour), the name on one line, and
// its figure at the trailing edge, or "FROZEN" while the process is suspended. With a toggle action the
// row carries a freeze / resume button; the row never changes its own state.
class ProcessRow : public QWidget
{
    Q_OBJECT
public:
    ProcessRow(const QString& icon, const QPixmap& image, const QString& name, const QString& value,
        const QColor& color, bool isSuspended, std::function<void()> onToggleSuspend = {}, QWidget* parent = nullptr);

    // The figures of a row that stays on screen while its process changes.
    void setProcess(const QString& name, const QString& value);
    void setSuspended(bool suspended);

    QString name() const { return m_name; }
    bool isSuspended() const { return m_suspended; }
    QString valueText() const;
    QColor nameColor() const;
    QColor valueColor() const;
    // The toggle button, or null without a toggle action.
    QToolButton* toggleButton() const { return m_button; }
    QString toggleSymbol() const;
    // The name as drawn at the current width ("…" at the end when cut).
    QString drawnName() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshButton();
    void placeButton();
    double valueColumn() const;
    QRectF nameRect() const;

    QString m_icon;
    QPixmap m_image;
    QString m_name;
    QString m_value;
    QColor m_color;
    bool m_suspended;
    double m_valueColumn = 0; // the figure's room at the trailing edge beside a button
    std::function<void()> m_onToggle;
    QToolButton* m_button = nullptr;
};
