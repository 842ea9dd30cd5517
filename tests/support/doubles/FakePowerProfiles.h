#pragma once

#include "platform/desktop/PowerProfiles.h"

// A daemon in memory: `running` false behaves as a machine without one. Answers at once.
class FakePowerProfiles : public PowerProfiles
{
public:
    explicit FakePowerProfiles(bool running = true, QString active = balanced)
        : running(running)
        , active(std::move(active))
    {
    }
    void activeProfile(QObject* context, std::function<void(std::optional<QString>)> done) override;
    void setActiveProfile(const QString& profile, QObject* context, std::function<void(bool)> done) override;

    bool running;
    QString active;
    int changes = 0;
};
