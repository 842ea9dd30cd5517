#pragma once

#include <QObject>
#include <QSet>
#include <QString>

// The names of the personas active right now (raw values of AutoPersona), which the menu-bar label
// and the windows show. Lives on the GUI thread and is used only there.
class ActivePersonaTracker : public QObject
{
    Q_OBJECT
public:
    static ActivePersonaTracker& shared();

    QSet<QString> activePersonas() const { return m_activePersonas; }
    // Both replace the set and always notify, even when the new set equals the old one.
    void setActivePersonas(const QSet<QString>& personas);
    void updateActivePersonas(const QSet<QString>& personas) { setActivePersonas(personas); }

signals:
    void activePersonasChanged(const QSet<QString>& personas);

private:
    ActivePersonaTracker() = default;

    QSet<QString> m_activePersonas;
};
