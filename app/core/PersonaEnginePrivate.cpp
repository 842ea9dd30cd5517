#include "PersonaEnginePrivate.h"

#include "core/UserDefaults.h"
#include "records/ActivePersonaTracker.h"
#include "records/AssistanceTracker.h"

#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/LogindSleepInhibitor.h"

#include <QCoreApplication>
#include <QSet>

PersonaEngine::Private::Private(XPCConnection& xpcConnection, ProcessWatcher& processWatcher,
    OllamaEngine& ollamaEngine, MemoryEngine& memoryEngine, Options opts)
    : xpc(xpcConnection)
    , watcher(processWatcher)
    , ollama(ollamaEngine)
    , memory(memoryEngine)
    , options(std::move(opts))
    , defaults(options.userDefaults ? *options.userDefaults : UserDefaults::standard())
    , assistance(options.assistanceTracker ? *options.assistanceTracker : AssistanceTracker::shared())
    , inhibitor(options.sleepInhibitor ? options.sleepInhibitor : std::make_shared<platform::LogindSleepInhibitor>())
    , notifier(options.notifier ? options.notifier : std::make_shared<platform::DesktopNotifier>())
    , rules(options.procRoot, options.sysRoot, options.session)
    , ledger(xpcConnection, options.procRoot, options.stateFilePath, options.clock)
{
}

Date PersonaEngine::Private::now() const
{
    return options.clock ? options.clock() : Date::now();
}

bool PersonaEngine::Private::isActive(AutoPersona persona) const
{
    std::lock_guard lock(mutex);
    return activePersonas.contains(persona);
}

SuspensionLedger::Listed PersonaEngine::Private::listedIn(const PersonaConfiguration& config)
{
    return [config](AutoPersona persona, const std::string& name) {
        return PersonaRules::isOnFreezeList(persona, name, config);
    };
}

void PersonaEngine::Private::postToTracker(const std::set<AutoPersona>& personas) const
{
    if (!options.updatesPersonaTracker)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QSet<QString> names;
    for (const auto persona : personas)
        names.insert(QString::fromUtf8(rawValue(persona).data(), static_cast<qsizetype>(rawValue(persona).size())));
    // The tracker belongs to the GUI thread; it is created and updated there.
    QMetaObject::invokeMethod(
        app, [names] { ActivePersonaTracker::shared().updateActivePersonas(names); }, Qt::QueuedConnection);
}
