#include "ActivePersonaTracker.h"

#include <QCoreApplication>

ActivePersonaTracker& ActivePersonaTracker::shared()
{
    static ActivePersonaTracker* tracker = [] {
        auto* t = new ActivePersonaTracker;
        if (auto* app = QCoreApplication::instance())
            t->moveToThread(app->thread());
        return t;
    }();
    return *tracker;
}

void ActivePersonaTracker::setActivePersonas(const QSet<QString>& personas)
{
    m_activePersonas = personas;
    emit activePersonasChanged(m_activePersonas);
}
