#pragma once

#include "ConfigurationPage.h"

class QComboBox;
class QLabel;
class QSlider;
class Switch;

// The Personas page: automatic persona switching, the conflict-resolution style, the headroom warning
// threshold and the process names that start Compile Mode.
class PersonasSection : public ConfigurationPage
{
    Q_OBJECT
public:
    explicit PersonasSection(SettingsView& view, QWidget* parent = nullptr);

    Switch* autonomousSwitch() const { return m_autonomous; }
    QComboBox* flavorPicker() const { return m_flavor; }
    QSlider* headroomSlider() const { return m_headroom; }
    QLabel* headroomValue() const { return m_headroomValue; }
    const ListEditor& triggers() const { return m_triggers; }
    // Why switching pauses nothing while the helper does not act for this copy; empty while it does.
    QString helperNote() const;

protected:
    void showConfiguration(const PersonaConfiguration& configuration) override;

private:
    void showHelperAccess();

    Switch* m_autonomous;
    QLabel* m_helperNote;
    QComboBox* m_flavor;
    QSlider* m_headroom;
    QLabel* m_headroomValue;
    ListEditor m_triggers;
};
