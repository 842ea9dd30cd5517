#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/FrameworkRecommendation.h"
#include "advisor-kit/MacCapabilityProfile.h"
#include "advisor-kit/ModelProfile.h"
#include "advisor-kit/ModelRecommendation.h"
#include "advisor-kit/ModelRecommendationEngine.h"
#include "advisor-kit/UserRecommendationContext.h"
#include "engines/OllamaEngine.h"
#endif

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FrameworkRecommendationEngine;
class MacCapabilityEngine;

// The machine as detection found it: the profile, and whether its chip is really an Apple one (when it
// is not, the chip class and the figures derived from it are the fallback's, not this machine's).
struct DetectedMachine
{
    MacCapabilityProfile profile;
    bool appleSilicon = false;
};

// Detects the machine once and ranks models and runtimes for a set of answers. The work runs on the
// thread pool; results come back to the GUI thread only while this object lives, so a window closed
// mid-run drops them. The engines are shared with the running work, which keeps them alive.
class AdvisorViewModel : public QObject
{
    Q_OBJECT
public:
    using Detector = std::function<DetectedMachine()>;
    using InstalledModelsSource = std::function<OllamaModelsResult()>;

    static constexpr int kModelLimit = 5;
    static constexpr int kFrameworkLimit = 3;

    // Detects this machine and asks the local Ollama server.
    explicit AdvisorViewModel(QObject* parent = nullptr);
    // Tests and the snapshot program supply the machine and the server's answer.
    AdvisorViewModel(Detector detector, InstalledModelsSource installedModels, QObject* parent = nullptr);
    ~AdvisorViewModel() override;

    const std::vector<ModelRecommendation>& recommendations() const { return m_recommendations; }
    const std::vector<ModelRecommendation>& installedRankings() const { return m_installedRankings; }
    const std::vector<ModelProfile>& notRecommended() const { return m_notRecommended; }
    const std::vector<FrameworkRecommendation>& frameworkRecommendations() const { return m_frameworkRecommendations; }
    const std::optional<MacCapabilityProfile>& macProfile() const { return m_macProfile; }
    bool appleSiliconDetected() const { return m_appleSilicon; }
    bool isLoading() const { return m_pendingWork > 0; }
    const std::optional<UserRecommendationContext>& lastContext() const { return m_lastContext; }
    // After a run with builds alongside that found no model: the one that would need the least room
    // beside the builds. Set before the run's change signals.
    const std::optional<ModelRecommendationEngine::Candidate>& smallestCandidateBesideBuilds() const
    {
        return m_smallestCandidate;
    }

    // Detects the machine unless a profile is already known.
    void load();
    // Ranks for `context`, with the installed models replaced by the server's current list.
    void runRecommendations(const UserRecommendationContext& context);

    // The recommendations whose model the server holds, by the engine's whole-tag match.
    static std::vector<ModelRecommendation> installedAmong(
        const std::vector<ModelRecommendation>& recommendations, const std::vector<OllamaModel>& installed);
    // The catalogue in its order, less the recommended models.
    static std::vector<ModelProfile> notRecommendedAmong(const std::vector<ModelRecommendation>& recommendations);

signals:
    void recommendationsChanged();
    void installedRankingsChanged();
    void notRecommendedChanged();
    void frameworkRecommendationsChanged();
    void macProfileChanged();
    void isLoadingChanged();
    void lastContextChanged();

private:
    struct RunResult;
    // Loading lasts from the first piece of work started until the last one still going has ended.
    void beginWork();
    void endWork();
    void publish(RunResult result);

    struct Engines;
    std::shared_ptr<const Engines> m_engines;
    Detector m_detector;
    InstalledModelsSource m_installedModels;

    std::vector<ModelRecommendation> m_recommendations;
    std::vector<ModelRecommendation> m_installedRankings;
    std::vector<ModelProfile> m_notRecommended;
    std::vector<FrameworkRecommendation> m_frameworkRecommendations;
    std::optional<MacCapabilityProfile> m_macProfile;
    bool m_appleSilicon = false;
    int m_pendingWork = 0; // detections and runs under way
    bool m_detecting = false;
    std::optional<UserRecommendationContext> m_lastContext;
    std::optional<ModelRecommendationEngine::Candidate> m_smallestCandidate;
};
