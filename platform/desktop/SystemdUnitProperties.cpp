#include "SystemdUnitProperties.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace platform {

std::string systemctlPath()
{
    for (const char* path : {"/usr/bin/systemctl", "/bin/systemctl"}) {
        if (QFileInfo(QString::fromLatin1(path)).isExecutable())
            return path;
    }
    return "/usr/bin/systemctl";
}

std::optional<std::string> showUnitProperties(const std::string& unit, const std::vector<std::string>& names,
    std::chrono::milliseconds timeout, const std::string& systemctl)
{
    // --all: a property a drop-in emptied ("AmbientCapabilities=") is printed too, not left out.
    QStringList arguments {QStringLiteral("show"), QStringLiteral("--no-pager"), QStringLiteral("--all")};
    for (const std::string& name : names)
        arguments << QStringLiteral("--property=") + QString::fromStdString(name);
    // "--" so that a unit name can never be read as an option.
    arguments << QStringLiteral("--") << QString::fromStdString(unit);

    QProcess process;
    // Plain values whatever the user's language; nothing asks for a password or a pager.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("SYSTEMD_PAGER"), QString());
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QString::fromStdString(systemctl), arguments, QIODevice::ReadOnly);
    const int ms = static_cast<int>(timeout.count());
    if (!process.waitForStarted(ms))
        return std::nullopt;
    if (!process.waitForFinished(ms)) {
        process.kill();
        process.waitForFinished(ms);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput().toStdString();
}

} // namespace platform
