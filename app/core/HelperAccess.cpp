#include "HelperAccess.h"

#include "platform/ipc/HelperVersionQuery.h"
#include "platform/security/TrustedCallers.h"

#include <QCoreApplication>

#ifndef QV_INSTALL_BINDIR
#define QV_INSTALL_BINDIR "/usr/bin"
#endif

namespace {

constexpr std::chrono::milliseconds kVersionTimeout {1000};

} // namespace

HelperAccess checkHelperAccess(const std::string& socketPath, const std::string& installedProgram, pid_t self)
{
    if (!platform::queryHelperVersion(socketPath, kVersionTimeout))
        return HelperAccess::notInstalled;
    const platform::TrustedCallers callers({installedProgram}, "/proc", 0);
    return callers.check(self) == platform::CallerVerdict::Trusted ? HelperAccess::available
                                                                   : HelperAccess::notInstalledProgram;
}

std::string installedProgramPath()
{
    return QV_INSTALL_BINDIR "/quorvane-pro";
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
    }
    return {};
}
