#pragma once

#include <QAbstractButton>
#include <QColor>

#include <functional>

class Clock;
class Desktop;

// A button that copies a freshly built text and, once the clipboard reads it back, confirms with
// "checkmark" and "Copied!" for 2.0 s.
// Every press schedules its own reset and none is cancelled, so the first pending reset ends the
// confirmation: two presses 1.5 s apart show "Copied!" until 2.0 s after the first. The button stays
// enabled while confirming, and every press copies anew.
class CopyButton : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr int kResetMs = 2000;

    // `idleText` is shown with "doc.on.doc" while no confirmation shows; `text` builds what a press copies.
    CopyButton(const QString& idleText, std::function<QString()> text, Desktop& desktop, Clock& clock,
        QWidget* parent = nullptr);

    bool isConfirming() const { return m_copied; }
    QString labelText() const;
    QString labelSymbol() const;

    void setColors(const QColor& foreground, const QColor& background);
    void setCornerRadius(double radius);
    void setPadding(int horizontal, int vertical);
    QSize sizeHint() const override;

signals:
    void confirmingChanged(bool copied);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void press();
    void setCopied(bool copied);

    QString m_idleText;
    std::function<QString()> m_text;
    Desktop& m_desktop;
    Clock& m_clock;
    bool m_copied = false;
    QColor m_foreground;
    QColor m_background;
    double m_radius = 8;
    int m_padH = 12;
    int m_padV = 7;
};
