#include "SampleAdvisor.h"

#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "views/advisor/ModelAdvisorView.h"
#include "views/advisor/PopoverRecommendationView.h"

#include <QElapsedTimer>
#include <QThread>

MacCapabilityProfile sampleAdvisorProfile(double memoryGB, double availableGB)
{
    MacCapabilityProfile p;
    p.chipClass = ChipClass::m3Pro;
    p.totalMemoryGB = memoryGB;
    p.cpuCores = 6;
    p.gpuCores = 18;
    p.neuralEngineCores = neuralEngineCores(p.chipClass);
    p.memoryBandwidthGBs = memoryBandwidthGBs(p.chipClass);
    p.availableMemoryGB = availableGB;
    p.typicalFreeHeadroomGB = availableGB;
    p.storageFreeSSD = 123.456;
    p.processorName = "AMD Ryzen 7 7840U w/ Radeon 780M Graphics";
    return p;
}

std::unique_ptr<AdvisorViewModel> undetectedSampleAdvisorViewModel(
    double memoryGB, bool appleSilicon, std::shared_ptr<std::atomic<bool>> held, double availableGB)
{
    DetectedMachine machine {sampleAdvisorProfile(memoryGB, availableGB), appleSilicon};
    OllamaModelsResult answer;
    OllamaModel installed;
    installed.id = "sha256:1";
    installed.name = "llama3.1:8b";
    answer.models = {installed};
    return std::make_unique<AdvisorViewModel>([machine] { return machine; },
        [answer, held] {
            QElapsedTimer waited;
            waited.start();
            while (held && !*held && waited.elapsed() < kSettleBoundMs)
                QThread::msleep(1);
            return answer;
        });
}

std::unique_ptr<AdvisorViewModel> sampleAdvisorViewModel(
    double memoryGB, bool appleSilicon, std::shared_ptr<std::atomic<bool>> held)
{
    auto vm = undetectedSampleAdvisorViewModel(memoryGB, appleSilicon, std::move(held));
    vm->load();
    waitFor([&vm] { return vm->macProfile().has_value(); });
    return vm;
}

QWidget* sampleSuggestionCard(
    SampleData& data, DashboardViewModel& dashboard, double memoryGB, double availableGB, QWidget* parent)
{
    return new PopoverRecommendationView(
        dashboard, undetectedSampleAdvisorViewModel(memoryGB, true, {}, availableGB),
        [&data, memoryGB, availableGB] {
            return new ModelAdvisorView(undetectedSampleAdvisorViewModel(memoryGB, true, {}, availableGB),
                data.desktop(), data.dialogs(), data.clock());
        },
        parent);
}
