#pragma once

#include <QPointer>
#include <QWidget>

// A titled window around one view (the dashboard window, the settings window), of the one size the
// program gives it: it offers no resizing and no maximising. It is kept for the program's life:
// closing it only hides it, and showing it again brings back the same view.
class HostWindow : public QWidget
{
    Q_OBJECT
public:
    HostWindow(const QString& title, QWidget* content, const QSize& contentSize, QWidget* parent = nullptr);

    QWidget* content() const { return m_content; }
    // Shows the window in front and gives it the focus.
    void present();
    // Moves the window and gives it its size, kept inside the screen it is on (or inside the free area
    // `available`); on a screen smaller than the content, the content scrolls inside the window.
    void reframe(const QRect& frame);
    void reframe(const QRect& frame, const QRect& available);
    // Where a window of content size `size`, whose title bar and borders add `decoration`, goes for a
    // wanted top-left `at`: its whole frame inside `available`, as near to `at` as fits. The result is
    // the frame's top-left (as QWidget::move takes it) and the content size, bounded by the screen.
    static QRect fitted(const QPoint& at, const QSize& size, const QMargins& decoration, const QRect& available);

signals:
    void quitRequested();

private:
    QPointer<QWidget> m_content;
};
