#include "AdvisorViewModel.h"

#include "advisor-kit/FrameworkRecommendationEngine.h"
#include "advisor-kit/MacCapabilityEngine.h"
#include "advisor-kit/ModelDatabase.h"
#include "advisor-kit/ModelRecommendationEngine.h"
#include "core/PoolWork.h"
#include "engines/MemoryEngine.h"
#include "engines/ThermalEngine.h"

#include <unordered_set>

struct AdvisorViewModel::Engines
{
    MacCapabilityEngine capability;
    ModelRecommendationEngine model;
    FrameworkRecommendationEngine framework;
};

struct AdvisorViewModel::RunResult
{
    UserRecommendationContext context;
    std::vector<ModelRecommendation> recommendations;
    std::vector<FrameworkRecommendation> frameworks;
    std::vector<ModelRecommendation> installed;
    std::vector<ModelProfile> notRecommended;
    std::optional<ModelRecommendationEngine::Candidate> smallestCandidate;
};

AdvisorViewModel::AdvisorViewModel(QObject* parent)
    : AdvisorViewModel(nullptr, nullptr, parent)
{
}

AdvisorViewModel::AdvisorViewModel(Detector detector, InstalledModelsSource installedModels, QObject* parent)
    : QObject(parent)
    , m_engines(std::make_shared<const Engines>())
    , m_detector(std::move(detector))
    , m_installedModels(std::move(installedModels))
{
    if (!m_detector) {
        // Fresh memory and thermal engines per detection, never the application's running ones.
        std::weak_ptr<const Engines> engines = m_engines;
        m_detector = [engines] {
            const auto kept = engines.lock();
            if (!kept)
                return DetectedMachine {};
            MemoryEngine memory;
            ThermalEngine thermal;
            MacCapabilityProfile profile = kept->capability.currentProfile(memory, thermal);
            const bool appleSilicon = profile.appleSilicon;
            return DetectedMachine {std::move(profile), appleSilicon};
        };
    }
    if (!m_installedModels)
        m_installedModels = [] { return OllamaEngine().installedModels(); };
}

AdvisorViewModel::~AdvisorViewModel() = default;

void AdvisorViewModel::beginWork()
{
    if (m_pendingWork++ == 0)
        emit isLoadingChanged();
}

void AdvisorViewModel::endWork()
{
    if (--m_pendingWork == 0)
        emit isLoadingChanged();
}

void AdvisorViewModel::load()
{
    // A second call while the first detection runs waits for that one's answer.
    if (m_macProfile || m_detecting)
        return;
    m_detecting = true;
    beginWork();
    // The detector's copy travels with the work, which is not waited for: the answer of a detection that
    // outlives this object is dropped.
    runOnPool(
        QThreadPool::globalInstance(), this, [detector = m_detector, engines = m_engines] { return detector(); },
        [this](DetectedMachine machine) {
            m_detecting = false;
            m_macProfile = std::move(machine.profile);
            // The profile carries the answer on to the recommendation engines.
            m_macProfile->appleSilicon = m_appleSilicon = machine.appleSilicon;
            emit macProfileChanged();
            endWork();
        });
}

void AdvisorViewModel::runRecommendations(const UserRecommendationContext& context)
{
    beginWork();
    auto work = [context, engines = m_engines, installedModels = m_installedModels]() {
        RunResult result;
        result.context = context;
        // A server that is absent or answers badly means nothing is installed; the error goes no further.
        OllamaModelsResult fetched = installedModels();
        result.context.installedModels = fetched.ok() ? std::move(fetched.models) : std::vector<OllamaModel> {};
        result.recommendations = engines->model.recommend(result.context, kModelLimit);
        result.frameworks = engines->framework.recommend(result.context, kFrameworkLimit);
        result.installed = installedAmong(result.recommendations, result.context.installedModels);
        result.notRecommended = notRecommendedAmong(result.recommendations);
        if (result.recommendations.empty() && result.context.runsAlongsideBuilds)
            result.smallestCandidate = engines->model.smallestCandidateBesideBuilds(result.context);
        return result;
    };
    runOnPool(
        QThreadPool::globalInstance(), this, std::move(work), [this](RunResult result) { publish(std::move(result)); });
}

void AdvisorViewModel::publish(RunResult result)
{
    m_smallestCandidate = std::move(result.smallestCandidate);
    m_lastContext = std::move(result.context);
    emit lastContextChanged();
    m_recommendations = std::move(result.recommendations);
    emit recommendationsChanged();
    m_frameworkRecommendations = std::move(result.frameworks);
    emit frameworkRecommendationsChanged();
    m_installedRankings = std::move(result.installed);
    emit installedRankingsChanged();
    m_notRecommended = std::move(result.notRecommended);
    emit notRecommendedChanged();
    endWork();
}

std::vector<ModelRecommendation> AdvisorViewModel::installedAmong(
    const std::vector<ModelRecommendation>& recommendations, const std::vector<OllamaModel>& installed)
{
    // The same test that gives a card its "ALREADY INSTALLED" badge, so the card and this list agree.
    std::vector<ModelRecommendation> result;
    for (const auto& recommendation : recommendations) {
        if (ModelRecommendationEngine::isInstalled(recommendation.model, installed))
            result.push_back(recommendation);
    }
    return result;
}

std::vector<ModelProfile> AdvisorViewModel::notRecommendedAmong(const std::vector<ModelRecommendation>& recommendations)
{
    std::unordered_set<std::string> recommended;
    for (const auto& recommendation : recommendations)
        recommended.insert(recommendation.model.id);
    std::vector<ModelProfile> result;
    for (const auto& model : ModelDatabase::all()) {
        if (!recommended.contains(model.id))
            result.push_back(model);
    }
    return result;
}
