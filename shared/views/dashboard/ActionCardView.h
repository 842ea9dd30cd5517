#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers these pull in.
#ifndef Q_MOC_RUN
#include "core/Uuid.h"
#endif
#include "ui/Palette.h"

#include <QFuture>
#include <QString>
#include <QWidget>

#include <functional>

class Clock;
class ColorDot;
class ElidedLabel;
class QAbstractButton;
class QLabel;
class ThemeManager;

// One recommended-action card: urgency dot, title, description, estimated impact, an Execute button
// that runs the owner's action and shows how it went, and a small dismiss control. The card knows
// nothing of what the action does; it calls back into its owner only through the two closures. A card
// whose action cannot run says why in place of the impact, and its Execute is off; a failed action's
// reason takes the impact's place too, so a failure never stands beside an amount it did not free.
class ActionCardView : public QWidget
{
    Q_OBJECT
public:
    // What running the action achieved; a failure carries its reason for the tool tip.
    struct Result
    {
        bool success = false;
        QString message;
    };

    struct CardInfo
    {
        enum class Urgency { info, warning, critical };

        Uuid id;
        QString title;
        QString description;
        QString estimatedImpact;
        Urgency urgency = Urgency::info;
        // Why the action cannot run here; empty when it can.
        QString unavailable;
        // Runs the action; the future brings its result (an exception in it counts as a failure).
        std::function<QFuture<Result>()> onExecute;
        // Asks the owner to remove the card; the owner must accept it for a card it no longer holds.
        std::function<void()> onDismiss;
    };

    enum class State { ready, executing, done, failed };

    // How long "Done" shows before the card asks to be dismissed.
    static constexpr int kDismissDelayMs = 1200;

    static QColor urgencyColor(CardInfo::Urgency urgency);

    ActionCardView(CardInfo card, ThemeManager& themes, Clock& clock, QWidget* parent = nullptr);

    const CardInfo& card() const { return m_card; }
    State state() const { return m_state; }
    // The message of a failed action (shown on the card, and the Execute button's tool tip).
    QString failureMessage() const { return m_failure; }
    QAbstractButton* executeButton() const;
    QAbstractButton* dismissButton() const;
    // The Execute button's text: "Execute", "Executing...", "Done" or "Failed".
    QString executeText() const;

    // New texts and urgency for the same action (a rebuilt list); state, id and closures stay.
    void setContent(const CardInfo& card);
    // Runs the action, once for the life of the card; a press while it runs or after, or on a card whose
    // action cannot run, does nothing.
    void execute();
    // The snapshot program shows each state without running anything.
    void showState(State state, const QString& failure = {});

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class ExecuteButton;
    void finish(const Result& result);
    void applyState();
    void applyTheme();
    // Title, description and note take the height of the lines they draw at the card's width.
    void fitLabels(int width);

    CardInfo m_card;
    Clock& m_clock;
    Palette m_palette;
    State m_state = State::ready;
    QString m_failure;
    ElidedLabel* m_title;
    ElidedLabel* m_description;
    QLabel* m_impact;
    ElidedLabel* m_note; // why the action cannot run, or why it failed
    QColor m_under; // what the card's texts are drawn over
    ColorDot* m_dot;
    QAbstractButton* m_dismiss;
    ExecuteButton* m_execute;
};
