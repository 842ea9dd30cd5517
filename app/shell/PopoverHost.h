#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

// The window of the popover: 340 x 620, beside the tray icon, closing when the user turns elsewhere.
// On X11 it is a frameless popup placed at the icon (at the cursor when the tray gives no icon
// position). Wayland gives no global positions, so there it is a small normal window, raised and
// focused so it never opens behind the window in front. The content widget is the popover's view.
class PopoverHost : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize kSize {340, 620};
    // A click on the tray icon closes an open popup before the tray reports it; a toggle this soon
    // after such a close is that same click and leaves the popover closed.
    static constexpr qint64 kReopenGuardMs = 300;

    enum class Mode { popup, window };

    explicit PopoverHost(QWidget* content, Mode mode = defaultMode(), QWidget* parent = nullptr);

    static Mode defaultMode();
    // The popover's size on a screen whose free area is `available`: 340 x 620, shorter on a short screen.
    static QSize fittedSize(const QRect& available) { return kSize.boundedTo(available.size()); }
    // Where the popover's top-left corner goes: below an anchor in the upper half of the screen,
    // above one in the lower half, centred on it, and kept inside `available`.
    static QPoint placement(const QRect& anchor, const QSize& size, const QRect& available);

    Mode mode() const { return m_mode; }
    QWidget* content() const { return m_content; }
    // Shows the popover beside `anchor` (global coordinates; an empty rectangle means the cursor),
    // or closes it when it is shown.
    void toggle(const QRect& anchor);
    void showAt(const QRect& anchor);

signals:
    void quitRequested();

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Mode m_mode;
    QPointer<QWidget> m_content;
    QElapsedTimer m_sinceHidden;
};
