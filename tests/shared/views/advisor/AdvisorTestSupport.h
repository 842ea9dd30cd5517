#pragma once

#include "views/advisor/AdvisorViewModel.h"

#include "advisor-kit/ModelDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace advisortest {

// Runs the event loop until `done` holds or five seconds pass.
template<class Predicate> bool waitFor(Predicate done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

inline MacCapabilityProfile profile(double memoryGB, ChipClass chip = ChipClass::m3Pro)
{
    MacCapabilityProfile p;
    p.chipClass = chip;
    p.totalMemoryGB = memoryGB;
    p.cpuCores = 6;
    p.gpuCores = 18;
    p.neuralEngineCores = neuralEngineCores(chip);
    p.memoryBandwidthGBs = memoryBandwidthGBs(chip);
    p.availableMemoryGB = memoryGB / 2;
    p.typicalFreeHeadroomGB = memoryGB / 2;
    p.storageFreeSSD = 123.456;
    return p;
}

inline OllamaModel installed(const std::string& name)
{
    OllamaModel m;
    m.id = "sha256:" + name;
    m.name = name;
    return m;
}

// The view model over a fixed machine and a fixed server answer; counts the calls.
struct FakeSources
{
    DetectedMachine machine {profile(36), true};
    OllamaModelsResult answer;
    std::shared_ptr<std::atomic<int>> detections = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> queries = std::make_shared<std::atomic<int>>(0);

    std::unique_ptr<AdvisorViewModel> make()
    {
        return std::make_unique<AdvisorViewModel>(
            [machine = machine, count = detections] {
                ++*count;
                return machine;
            },
            [answer = answer, count = queries] {
                ++*count;
                return answer;
            });
    }
};

inline UserRecommendationContext context(const MacCapabilityProfile& mac, UseCase useCase = UseCase::coding)
{
    UserRecommendationContext c;
    c.macProfile = mac;
    c.primaryUseCase = useCase;
    c.contextLengthNeeded = UserRecommendationContext::ContextLength::medium;
    return c;
}

inline ModelRecommendation recommendation(int rank, const std::string& modelId)
{
    ModelRecommendation r;
    r.id = Uuid::random();
    r.model = *ModelDatabase::model(modelId);
    r.rank = rank;
    r.installCommand = "ollama pull " + modelId;
    r.reasoning = {{Uuid::random(), "checkmark.circle.fill", "Fits comfortably", true}};
    return r;
}

} // namespace advisortest
