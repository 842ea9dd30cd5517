#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

// The system's power profile ("power-saver", "balanced", "performance") as the power-profiles daemon
// keeps it. Answers arrive on the GUI thread through callbacks, delivered only while `context` lives.
class PowerProfiles
{
public:
    static inline const QString powerSaver = QStringLiteral("power-saver");
    static inline const QString balanced = QStringLiteral("balanced");

    virtual ~PowerProfiles() = default;
    // The active profile, or nothing when no daemon answers.
    virtual void activeProfile(QObject* context, std::function<void(std::optional<QString>)> done) = 0;
    // Makes `profile` the active one; `done` tells whether the daemon took it.
    virtual void setActiveProfile(const QString& profile, QObject* context, std::function<void(bool)> done) = 0;

    // The daemon on the system bus.
    static PowerProfiles& system();
};

// net.hadess.PowerProfiles (and its newer name org.freedesktop.UPower.PowerProfiles) over D-Bus,
// asynchronously, so the GUI thread never waits for the daemon.
class DBusPowerProfiles : public PowerProfiles
{
public:
    void activeProfile(QObject* context, std::function<void(std::optional<QString>)> done) override;
    void setActiveProfile(const QString& profile, QObject* context, std::function<void(bool)> done) override;
};
