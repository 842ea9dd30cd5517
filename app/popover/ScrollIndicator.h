#pragma once

#include <QScrollBar>

class QAbstractScrollArea;

// A slim scroll bar for a scroll area whose own bars are off: it follows the area's vertical bar, moves
// it when dragged or clicked, and shows only while the content is taller than the area, so a page cut
// at a short popover's bottom shows that it scrolls, and how far. Its owner places it.
class ScrollIndicator : public QScrollBar
{
    Q_OBJECT
public:
    static constexpr int kWidth = 6;

    ScrollIndicator(QAbstractScrollArea& area, QWidget* parent = nullptr);

    void setHandleColor(const QColor& color);
    // Whether it may show at all (its owner is shown, nothing else lies where it sits).
    void setAllowed(bool allowed);

private:
    void follow();

    QScrollBar* m_source;
    bool m_allowed = false;
};
