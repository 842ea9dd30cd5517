#include "HelperService.h"

#include "platform/services/ChildProcess.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>

SystemdHelperService::SystemdHelperService(PrivacyMetricsEngine& engine, std::function<void()> resumeAll,
    QString setupProgram, QString pkexec, std::chrono::milliseconds deadline)
    : m_engine(engine)
    , m_resumeAll(std::move(resumeAll))
    , m_setupProgram(std::move(setupProgram))
    , m_pkexec(std::move(pkexec))
    , m_deadline(deadline)
{
}

QString SystemdHelperService::defaultSetupProgram()
{
    return PrivacyLocations::standard().helperFolder + QStringLiteral("/quorvane-helper-setup");
}

PrivacyMetricsEngine::HelperStatus SystemdHelperService::status()
{
    return m_engine.helperStatus();
}

HelperService::Outcome SystemdHelperService::install()
{
    return run("install");
}

HelperService::Outcome SystemdHelperService::uninstall()
{
    if (m_resumeAll)
        m_resumeAll();
    return run("uninstall");
}

HelperService::Outcome SystemdHelperService::outcomeOf(int exitStatus, const std::string& output)
{
    if (exitStatus == 0)
        return {true, {}};
    // pkexec's own: 126 when the dialog was dismissed, 127 when authorisation was refused or pkexec could not
    // run the program (the setup program itself exits with 1 or 2).
    if (exitStatus == 126)
        return {false, QStringLiteral("authorization cancelled")};
    if (exitStatus == 127)
        return {false, QStringLiteral("authorization failed")};
    QString last = QString::fromStdString(output).trimmed();
    last = last.mid(last.lastIndexOf(QLatin1Char('\n')) + 1);
    return {false,
        last.isEmpty() ? QStringLiteral("the setup program ended with code %1").arg(exitStatus)
                       : QStringLiteral("%1 (code %2)").arg(last).arg(exitStatus)};
}

void SystemdHelperService::stopSetups()
{
    m_stop.request_stop();
}

HelperService::Outcome SystemdHelperService::run(const char* verb)
{
    if (!QFileInfo(m_setupProgram).isExecutable())
        return {false, QStringLiteral("the setup program is missing: %1").arg(m_setupProgram)};
    const auto outcome = platform::runChildProcess(m_pkexec.toStdString(), {m_setupProgram.toStdString(), verb},
        {.output = platform::ChildRun::Output::standardOutputAndError,
            .deadline = m_deadline,
            .stop = m_stop.get_token(),
            .stopGrace = kStopGrace});
    if (!outcome && outcome.error().code == ECANCELED) {
        // The program is quitting; the view that asked may be gone, so the console says it.
        const bool runsOn = platform::childMayStillRun(outcome.error());
        const QString why = runsOn
            ? QStringLiteral("setup cancelled as Quorvane Pro quit; the setup program, already running as root, may "
                             "still finish")
            : QStringLiteral("setup cancelled as Quorvane Pro quit");
        std::fprintf(stderr, "Helper %s: %s\n", verb, qPrintable(why));
        return {false, why};
    }
    // Once authorised the setup program runs as root, out of this program's reach: then it may run on.
    if (!outcome && platform::childMayStillRun(outcome.error()))
        return {false, QStringLiteral("the setup program %1").arg(QString::fromStdString(outcome.error().message))};
    if (!outcome && outcome.error().code == ETIMEDOUT)
        return {false, QStringLiteral("timed out before the setup program finished")};
    if (!outcome)
        return {false, QString::fromStdString(outcome.error().message)};
    return outcomeOf(outcome.value().exitStatus, outcome.value().output);
}
