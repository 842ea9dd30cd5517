#include "PersonaViewModel.h"

#include "core/PoolWork.h"

#include <QPointer>

PersonaViewModel::PersonaViewModel(PersonaEngine& personaEngine, QObject* parent)
    : QObject(parent)
    , m_personaEngine(personaEngine)
    , m_savedYouMetrics(SavedYouMetrics::fresh())
    , m_configuration(PersonaConfiguration::defaultConfiguration())
    , m_committer(
          [this](const PersonaConfiguration& configuration) {
              return runThenRefresh(
                  [configuration](PersonaEngine& engine) { engine.updateConfiguration(configuration); });
          },
          [this] { return m_configuration; })
{
    // The engine reports changes from whichever thread made them; the refresh runs on the GUI thread,
    // and not at all once this view model is gone.
    m_personaEngine.setOnChangeHandler(
        [guard = QPointer<QObject>(this), this] { deliverHome(guard, [this] { refresh(); }); });
    refresh();
}

// A worker still calling the engine finishes (m_engineCalls) before whoever owns the engine may release it.
PersonaViewModel::~PersonaViewModel() = default;

QFuture<void> PersonaViewModel::runThenRefresh(std::function<void(PersonaEngine&)> work)
{
    PersonaEngine* engine = &m_personaEngine;
    return m_engineCalls.run(
        [engine, work = std::move(work)] {
            if (work)
                work(*engine);
            return engine->state();
        },
        [this](PersonaEngine::State state) { apply(std::move(state)); });
}

void PersonaViewModel::apply(PersonaEngine::State state)
{
    m_activePersonas = std::move(state.activePersonas);
    emit activePersonasChanged();
    m_frozenProcesses = std::move(state.frozenProcesses);
    m_resumeFailures = std::move(state.resumeFailures);
    emit frozenProcessesChanged();
    m_personaHistory = std::move(state.personaHistory);
    emit personaHistoryChanged();
    m_savedYouMetrics = state.savedYouMetrics;
    emit savedYouMetricsChanged();
    m_configuration = std::move(state.configuration);
    emit configurationChanged();
}

void PersonaViewModel::setHelperAccess(HelperAccess access)
{
    if (access == m_helperAccess)
        return;
    m_helperAccess = access;
    emit helperAccessChanged();
}

QFuture<void> PersonaViewModel::refresh()
{
    return runThenRefresh({});
}

QFuture<void> PersonaViewModel::activatePersona(AutoPersona persona, const std::string& trigger)
{
    return runThenRefresh([persona, trigger](PersonaEngine& engine) { engine.activatePersona(persona, trigger); });
}

QFuture<void> PersonaViewModel::deactivatePersona(AutoPersona persona)
{
    return runThenRefresh([persona](PersonaEngine& engine) { engine.deactivatePersona(persona); });
}

QFuture<void> PersonaViewModel::resumeAllFrozenProcesses()
{
    return runThenRefresh([](PersonaEngine& engine) { engine.resumeAllFrozenProcesses(); });
}

QFuture<QString> PersonaViewModel::freezeProcess(
    std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks)
{
    auto why = std::make_shared<QString>();
    return runThenRefresh([pid, name, startTicks, why](PersonaEngine& engine) {
        const auto result = engine.freezeProcess(pid, name, startTicks);
        if (result.ok())
            return;
        *why = tr("Not frozen: ") + QString::fromStdString(result.error().message);
    }).then([why] { return *why; });
}

QFuture<std::uint64_t> PersonaViewModel::processStartTicks(std::int32_t pid)
{
    PersonaEngine* engine = &m_personaEngine;
    return m_engineCalls.run([engine, pid] { return engine->processStartTicks(pid); });
}

QFuture<void> PersonaViewModel::resumeProcess(std::int32_t pid)
{
    return runThenRefresh([pid](PersonaEngine& engine) { (void)engine.resumeProcess(pid); });
}

QFuture<void> PersonaViewModel::updateConfiguration(const PersonaConfiguration& configuration)
{
    return m_committer.commit(configuration);
}
