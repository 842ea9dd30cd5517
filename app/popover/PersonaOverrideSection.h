#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers these pull in.
#ifndef Q_MOC_RUN
#include "records/AutoPersona.h"
#endif
#include "ui/Palette.h"

#include <QFuture>
#include <QList>
#include <QWidget>

#include <functional>
#include <set>
#include <string>

class Clock;
class PersonaViewModel;
class QAbstractButton;
class QLabel;
class ThemeManager;

// "Manual Override": one chip per automatic persona to switch it by hand, a four-second warning
// when the autonomous engine may undo the choice, and the button that resumes every frozen process.
// A chip is disabled while its request runs, so one tap never starts two switches.
class PersonaOverrideSection : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWarningMs = 4000;

    // The persona requests; each future finishes once the published state is up to date.
    struct Commands
    {
        std::function<QFuture<void>(AutoPersona persona, const std::string& trigger)> activatePersona;
        std::function<QFuture<void>(AutoPersona persona)> deactivatePersona;
        std::function<QFuture<void>()> resumeAllFrozenProcesses;
    };
    // What the block shows of the persona state.
    struct Shown
    {
        std::set<AutoPersona> activePersonas;
        int frozenCount = 0;
        bool autonomousModeEnabled = false; // and the rules run: a manual choice may be undone
    };

    // Follows and commands the view model.
    PersonaOverrideSection(PersonaViewModel& personaVM, ThemeManager& themes, Clock& clock, QWidget* parent = nullptr);
    // Commands given apart; the state comes through setShown (tests and the snapshot program).
    PersonaOverrideSection(Commands commands, ThemeManager& themes, Clock& clock, QWidget* parent = nullptr);

    void setShown(const Shown& shown);
    void togglePersonaOverride(AutoPersona persona);
    void restoreAllFrozenProcesses();

    QAbstractButton* chip(AutoPersona persona) const;
    QAbstractButton* restoreButton() const;
    bool showsWarning() const;
    // "Manual" or "Auto".
    QString modeText() const;

    // "Compile", "AI First", "Battery": the raw value without " Mode".
    static QString chipLabel(AutoPersona persona);

private:
    class Chip;
    class RestoreButton;
    void build();
    // The shown personas, mode and frozen count, in the current palette.
    void redraw();
    QColor personaColor(AutoPersona persona) const;

    Commands m_commands;
    Clock& m_clock;
    Palette m_palette;
    Shown m_shown;
    QLabel* m_title;
    QLabel* m_mode;
    QList<Chip*> m_chips;
    QLabel* m_warning;
    RestoreButton* m_restore;
};
