#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "AdvisorTexts.h"
#endif

#include "ui/Palette.h"

#include <QWidget>

class Clock;
class CopyButton;
class Desktop;

// An install command in a tinted box, on one line and shortened in the middle where it does not fit,
// with a button that copies it. A catalogue text that is no runnable command shows where to get the
// program instead, with nothing to copy.
class CommandBox : public QWidget
{
    Q_OBJECT
public:
    CommandBox(const AdvisorTexts::CommandOffer& offer, Desktop& desktop, Clock& clock, QWidget* parent = nullptr);

    QString shownText() const { return m_text; }
    // Absent when there is nothing to copy.
    CopyButton* copyButton() const { return m_copy; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Palette m_palette;
    QString m_text;
    bool m_isCommand;
    CopyButton* m_copy = nullptr;
    QWidget* m_textArea = nullptr;
};
