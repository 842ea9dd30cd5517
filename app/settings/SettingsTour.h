#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>

class Clock;

// The four-step walk through the settings window. It selects each step's page through
// tabRequested(), moves on by itself once a step has shown for 4 s (advance() is called every
// second), and ends after the last step.
class SettingsTour : public QObject
{
    Q_OBJECT
public:
    static constexpr int kStepCount = 4;
    static constexpr double kStepSeconds = 4.0;

    struct Step
    {
        const char* title;
        const char* text;
    };
    static const std::array<Step, kStepCount>& steps();

    // What the steps' words depend on: whether personas act in the background (the helper acts for this
    // copy and automatic switching is on) and whether the machine reports a temperature.
    struct Facts
    {
        bool canPause = true;
        bool autonomous = true;
        bool hasTemperature = true;
        bool operator==(const Facts&) const = default;
    };
    void setFacts(const Facts& facts);
    // A step's text as shown, translated: its table text where it holds for these facts.
    QString text(int step) const;
    // The sidebar page a step selects; -1 for the last step, which stays on the page before it.
    static int pageForStep(int step);

    explicit SettingsTour(Clock& clock, QObject* parent = nullptr);

    bool isActive() const { return m_active; }
    int step() const { return m_step; }
    QDateTime lastStepTime() const { return m_lastStepTime; }

    // From step 0 on the General page, also while a tour runs.
    void start();
    // One tick of the timer: moves on once the step has shown for 4 s.
    void advance();
    void stepForward();
    void stepBack();
    // The "Next" / "Finish" button.
    void next();
    void skip();

signals:
    void changed();
    void tabRequested(int tab);

private:
    Clock& m_clock;
    Facts m_facts;
    bool m_active = false;
    int m_step = 0;
    QDateTime m_lastStepTime;
};
