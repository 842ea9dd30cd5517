#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "PersonaEngine.h"
#endif

#include "ConfigCommitter.h"
#include "HelperAccess.h"
#include "core/PendingWork.h"

#include <QFuture>
#include <QObject>
#include <QString>

#include <functional>

// The GUI thread's copy of the persona engine's state, for the popover and the settings window, and
// the way their persona and process actions reach the engine. Every action runs on a worker thread
// and is followed by a refresh; the returned futures finish once the copy is up to date. The engine
// must outlive the view model, whose destructor waits for the engine calls still in flight.
class PersonaViewModel : public QObject
{
    Q_OBJECT
public:
    explicit PersonaViewModel(PersonaEngine& personaEngine, QObject* parent = nullptr);
    ~PersonaViewModel() override;

    const std::set<AutoPersona>& activePersonas() const { return m_activePersonas; }
    const std::map<std::int32_t, FrozenProcess>& frozenProcesses() const { return m_frozenProcesses; }
    // The frozen processes whose resume failed and is being tried again, with the reason; published
    // together with frozenProcesses.
    const std::map<std::int32_t, std::string>& resumeFailures() const { return m_resumeFailures; }
    const std::vector<PersonaEvent>& personaHistory() const { return m_personaHistory; }
    const SavedYouMetrics& savedYouMetrics() const { return m_savedYouMetrics; }
    const PersonaConfiguration& configuration() const { return m_configuration; }
    PersonaEngine& personaEngine() const { return m_personaEngine; }
    // Whether the helper acts for this copy, as the delegate last found it (`available` until it has looked).
    // Without it no persona pauses anything, and the views say so.
    HelperAccess helperAccess() const { return m_helperAccess; }
    bool canPause() const { return m_helperAccess == HelperAccess::available; }
    void setHelperAccess(HelperAccess access);
    // Every configuration edit goes through this one committer, so edits made in quick succession
    // build on each other and are written in order.
    ConfigCommitter& configCommitter() { return m_committer; }

    QFuture<void> refresh();
    QFuture<void> activatePersona(AutoPersona persona, const std::string& trigger);
    QFuture<void> deactivatePersona(AutoPersona persona);
    QFuture<void> resumeAllFrozenProcesses();
    // Finishes with an empty text once the process is frozen, else with one line saying why it was not
    // (the engine's refusal, or the helper's error). With startTicks, only while the process that had
    // that start when it was chosen is still there.
    QFuture<QString> freezeProcess(
        std::int32_t pid, const std::string& name, std::optional<std::uint64_t> startTicks = std::nullopt);
    // The engine's processStartTicks, read on a worker.
    QFuture<std::uint64_t> processStartTicks(std::int32_t pid);
    // A failure keeps the process listed, with its reason in resumeFailures, and the engine tries again.
    QFuture<void> resumeProcess(std::int32_t pid);
    // Through the committer: finishes once this configuration, or a newer one, is shown.
    QFuture<void> updateConfiguration(const PersonaConfiguration& configuration);

signals:
    // Each published value announces every assignment, changed or not.
    void activePersonasChanged();
    void frozenProcessesChanged();
    void personaHistoryChanged();
    void savedYouMetricsChanged();
    void configurationChanged();
    void helperAccessChanged();

private:
    QFuture<void> runThenRefresh(std::function<void(PersonaEngine&)> work);
    void apply(PersonaEngine::State state);

    PersonaEngine& m_personaEngine;
    std::set<AutoPersona> m_activePersonas;
    std::map<std::int32_t, FrozenProcess> m_frozenProcesses;
    std::map<std::int32_t, std::string> m_resumeFailures;
    std::vector<PersonaEvent> m_personaHistory;
    SavedYouMetrics m_savedYouMetrics;
    PersonaConfiguration m_configuration;
    HelperAccess m_helperAccess = HelperAccess::available;
    ConfigCommitter m_committer;
    // Last, so that the engine calls still in flight end before anything else goes.
    PendingWork m_engineCalls {this};
};
