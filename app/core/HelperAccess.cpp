#include "HelperAccess.h"

#include "platform/ipc/HelperVersionQuery.h"
#include "platform/security/TrustedCallers.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QV_INSTALL_BINDIR
#define QV_INSTALL_BINDIR "/usr/bin"
#endif

namespace {

constexpr std::chrono::milliseconds kVersionTimeout {1000};

// The helper's own rule: the same file as `installedProgram`, root-owned and writable by nobody else.
bool isInstalledProgram(const std::string& installedProgram, pid_t self)
{
    const platform::TrustedCallers callers({installedProgram}, "/proc", 0);
    return callers.check(self) == platform::CallerVerdict::Trusted;
}

} // namespace

HelperAccess checkHelperAccess(const std::string& socketPath, const std::string& installedProgram, pid_t self)
{
    if (!platform::queryHelperVersion(socketPath, kVersionTimeout))
        return HelperAccess::notInstalled;
    return isInstalledProgram(installedProgram, self) ? HelperAccess::available : HelperAccess::notInstalledProgram;
}

std::string installedProgramPath()
{
    return QV_INSTALL_BINDIR "/quorvane-pro";
}

HelperAccess installedProgramChange(const std::string& installedProgram, const std::string& runningProgram)
{
    char link[PATH_MAX];
    const ssize_t length = ::readlink(runningProgram.c_str(), link, sizeof link - 1);
    if (length <= 0)
        return HelperAccess::available;
    const std::string target(link, static_cast<std::size_t>(length));
    // The kernel names a removed executable "<path> (deleted)".
    if (target != installedProgram && target != installedProgram + " (deleted)")
        return HelperAccess::available;
    struct stat running
    {
    };
    if (::stat(runningProgram.c_str(), &running) != 0)
        return HelperAccess::available;
    struct stat installed
    {
    };
    if (::stat(installedProgram.c_str(), &installed) != 0)
        return HelperAccess::programRemoved;
    return running.st_dev != installed.st_dev || running.st_ino != installed.st_ino ? HelperAccess::programReplaced
                                                                                    : HelperAccess::available;
}

std::string helperNotInstalledReason()
{
    return QCoreApplication::translate(
        "HelperAccess", "the Quorvane Pro helper is not installed (install the Debian package to pause processes)")
        .toStdString();
}

std::string helperNeededReason(HelperAccess access)
{
    const auto text
        = [](const char* source) { return QCoreApplication::translate("HelperAccess", source).toStdString(); };
    switch (access) {
    case HelperAccess::available:
        return {};
    case HelperAccess::notInstalled:
        return text("Needs the Quorvane Pro helper, which is not installed on this computer.");
    case HelperAccess::notInstalledProgram:
        return text("Needs the Quorvane Pro helper, which acts only for the installed program, not for this copy.");
    case HelperAccess::programReplaced:
        return text("Needs the Quorvane Pro helper, which acts only for the program now installed: restart "
                    "Quorvane Pro.");
    case HelperAccess::programRemoved:
        return text("Needs the Quorvane Pro helper, which no longer acts for this copy: it was removed.");
    }
    return {};
}

QString helperSetupUnavailableReason(const std::string& installedProgram, pid_t self, const QString& setupProgram)
{
    if (!isInstalledProgram(installedProgram, self))
        return QCoreApplication::translate("HelperAccess",
            "Not from this copy: the helper acts only for the installed program, and this copy runs from "
            "somewhere else. The helper comes with the Debian package (sudo apt install "
            "./quorvane-pro_<version>_<arch>.deb); start the installed program to set it up.");
    if (!QFileInfo(setupProgram).isExecutable())
        return QCoreApplication::translate("HelperAccess",
            "Not from this copy: its setup program (%1) is missing. The helper comes with the Debian package "
            "(sudo apt install ./quorvane-pro_<version>_<arch>.deb).")
            .arg(setupProgram);
    return {};
}

QString helperAccessMessage(HelperAccess access)
{
    switch (access) {
    case HelperAccess::available:
        return {};
    case HelperAccess::notInstalled:
        return QCoreApplication::translate("HelperAccess",
            "The Quorvane Pro helper is not installed, so personas cannot pause background processes. "
            "Install the Debian package (sudo apt install ./quorvane-pro_<version>_<arch>.deb) to use them. "
            "Quorvane Pro keeps running without personas.");
    case HelperAccess::notInstalledProgram:
        return QCoreApplication::translate("HelperAccess",
            "The Quorvane Pro helper only works for the installed program (%1), and this copy runs from "
            "somewhere else, so personas cannot pause background processes. Start the installed program "
            "to use them. This copy keeps running without personas.")
            .arg(QString::fromStdString(installedProgramPath()));
    case HelperAccess::programReplaced:
        return QCoreApplication::translate("HelperAccess",
            "Quorvane Pro was upgraded or reinstalled while it ran, and the helper acts only for the program "
            "now installed. Personas are off and pause nothing until you restart Quorvane Pro (Quit from the "
            "tray menu, then start it again).");
    case HelperAccess::programRemoved:
        return QCoreApplication::translate("HelperAccess",
            "Quorvane Pro was removed while it ran, so the helper no longer acts for this copy. Personas are "
            "off and pause nothing; this copy keeps running without them until you quit it.");
    }
    return {};
}
