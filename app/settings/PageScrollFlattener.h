#pragma once

#include <QObject>

class QScrollArea;
class QWidget;

// A dashboard page hosted in the settings window brings its own vertical scroll area, made for a
// window of its own. Inside the window's scroll area it would be given only its size hint and scroll
// a box of a few hundred pixels on its own. The flattener makes such a scroll area as tall as its
// content, for the width it has, so the page fills the content area and the window scrolls it once.
class PageScrollFlattener : public QObject
{
    Q_OBJECT
public:
    // Flattens `page` when it is a scroll area and every scroll area directly inside it; deeper ones
    // (a list of fixed height within the page) keep scrolling.
    static void flattenPage(QWidget* page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PageScrollFlattener(QScrollArea* area);
    void fit();

    QScrollArea* m_area;
    bool m_fitting = false;
};
