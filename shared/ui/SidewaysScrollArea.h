#pragma once

#include <QScrollArea>

// A strip that scrolls sideways when its content is wider than the room it gets: no frame, no
// indicator, the content at its natural width and on the parent's background. The mouse wheel
// scrolls it, and a control that takes the keyboard focus is scrolled into view.
class SidewaysScrollArea : public QScrollArea
{
    Q_OBJECT
public:
    explicit SidewaysScrollArea(QWidget* content, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
