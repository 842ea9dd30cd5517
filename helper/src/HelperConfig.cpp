#include "helper/src/HelperConfig.h"

#include "platform/ipc/HelperProtocol.h"
#include "platform/security/LogindSessions.h"
#include "platform/security/TrustedCallers.h"

#include <cstdlib>

#ifndef QV_INSTALL_BINDIR
#define QV_INSTALL_BINDIR "/usr/bin"
#endif
#ifndef QV_INSTALL_LIBEXECDIR
#define QV_INSTALL_LIBEXECDIR "/usr/libexec"
#endif

namespace helper {

HelperConfig::HelperConfig()
    : socketPath(platform::kDefaultHelperSocketPath)
    , trustedExecutables {QV_INSTALL_BINDIR "/quorvane-pro"}
    , powerTool(QV_INSTALL_LIBEXECDIR "/quorvane/quorvane-powermetrics")
    , sessions(std::make_shared<platform::LogindSessions>())
{
}

HelperConfig HelperConfig::fromEnvironment()
{
    HelperConfig config;
    const auto override = [](const char* name, std::string& value) {
        if (const char* text = std::getenv(name); text && *text)
            value = text;
    };
    override(platform::kHelperSocketEnvironment, config.socketPath);
    override("QUORVANE_HELPER_AUDIT_LOG", config.auditLogPath);
    override("QUORVANE_HELPER_INDEXER_TOOL", config.indexerTool);
    override("QUORVANE_HELPER_POWER_TOOL", config.powerTool);
    override("QUORVANE_HELPER_RUNTIME_DIR", config.runtimeFolder);
    if (const char* trusted = std::getenv("QUORVANE_HELPER_TRUSTED"); trusted && *trusted)
        config.trustedExecutables = platform::splitPathList(trusted);
    return config;
}

} // namespace helper
