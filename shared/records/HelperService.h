#pragma once

#include "records/PrivacyMetricsEngine.h"

#include <QString>

#include <chrono>
#include <functional>
#include <stop_token>

// The root helper's registration with the system: its status, installing it and removing it. Every
// call blocks (the authorisation dialog, the bus, the helper's socket), so views call it from a worker.
class HelperService
{
public:
    // How long an install or removal may wait for the user to answer the authorisation dialog and for
    // the setup program after it; a dialog left open past it is given up.
    static constexpr std::chrono::minutes kSetupDeadline {5};

    struct Outcome
    {
        bool ok = false;
        QString error; // why not, when not ok
    };

    virtual ~HelperService() = default;
    virtual PrivacyMetricsEngine::HelperStatus status() = 0;
    virtual Outcome install() = 0;
    // Resumes every process the program holds suspended before the helper goes.
    virtual Outcome uninstall() = 0;
    // The program is quitting: an install or removal under way ends soon (one still waiting for the user's
    // authorisation at once), and later ones are refused. Safe from any thread.
    virtual void stopSetups() { }
};

// systemd: the status from the privacy store (unit state over the bus, a getVersion round trip), and
// `quorvane-helper-setup install|uninstall` run as root through pkexec.
class SystemdHelperService : public HelperService
{
public:
    // `resumeAll` runs before an uninstall, so nothing stays stopped once the helper is gone.
    SystemdHelperService(PrivacyMetricsEngine& engine, std::function<void()> resumeAll = {},
        QString setupProgram = defaultSetupProgram(), QString pkexec = QStringLiteral("/usr/bin/pkexec"),
        std::chrono::milliseconds deadline = kSetupDeadline);

    PrivacyMetricsEngine::HelperStatus status() override;
    Outcome install() override;
    Outcome uninstall() override;
    // Ends the setup program's run: pkexec while it still asks for authorisation is killed with what it
    // started; a setup program already running as root is given a few seconds (kStopGrace) to finish, then
    // left running. Says on the console that setup was cancelled.
    void stopSetups() override;

    static constexpr std::chrono::seconds kStopGrace {3};

    static QString defaultSetupProgram();
    // The outcome of the setup program's exit status and output: 126 is pkexec's cancelled authorisation,
    // 127 its refused one; any other failure names the setup program's last line of output.
    static Outcome outcomeOf(int exitStatus, const std::string& output);

private:
    Outcome run(const char* verb);

    PrivacyMetricsEngine& m_engine;
    std::function<void()> m_resumeAll;
    QString m_setupProgram;
    QString m_pkexec;
    std::chrono::milliseconds m_deadline;
    std::stop_source m_stop;
};
