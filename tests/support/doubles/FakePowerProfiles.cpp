#include "FakePowerProfiles.h"

void FakePowerProfiles::activeProfile(QObject*, std::function<void(std::optional<QString>)> done)
{
    done(running ? std::optional<QString>(active) : std::nullopt);
}

void FakePowerProfiles::setActiveProfile(const QString& profile, QObject*, std::function<void(bool)> done)
{
    if (running) {
        active = profile;
        ++changes;
    }
    done(running);
}
