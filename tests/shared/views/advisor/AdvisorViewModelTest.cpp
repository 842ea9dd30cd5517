#include "AdvisorTestSupport.h"
#include "support/AllocationPause.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <future>

using namespace advisortest;

namespace {

bool contains(const std::vector<ModelRecommendation>& list, const std::string& id)
{
    return std::any_of(list.begin(), list.end(), [&id](const auto& r) { return r.model.id == id; });
}

std::vector<std::string> ids(const std::vector<ModelProfile>& models)
{
    std::vector<std::string> result;
    for (const auto& m : models)
        result.push_back(m.id);
    return result;
}

void run(AdvisorViewModel& vm, const UserRecommendationContext& c)
{
    vm.runRecommendations(c);
    ASSERT_TRUE(waitFor([&vm] { return !vm.isLoading(); }));
}

} // namespace

TEST(AdvisorViewModelTest, LoadDetectsOnceAndASecondLoadTouchesNothing)
{
    FakeSources sources;
    auto vm = sources.make();
    QSignalSpy loading(vm.get(), &AdvisorViewModel::isLoadingChanged);
    vm->load();
    EXPECT_TRUE(vm->isLoading());
    ASSERT_TRUE(waitFor([&] { return vm->macProfile().has_value(); }));
    EXPECT_FALSE(vm->isLoading());
    EXPECT_TRUE(vm->appleSiliconDetected());
    EXPECT_EQ(loading.count(), 2);

    vm->load();
    EXPECT_EQ(loading.count(), 2);
    EXPECT_FALSE(vm->isLoading());
    waitFor([] { return false; }, 50);
    EXPECT_EQ(*sources.detections, 1);
}

TEST(AdvisorViewModelTest, AbsentServerMeansNothingInstalledWhateverTheCallerPassed)
{
    FakeSources sources;
    sources.answer.error = OllamaError {OllamaError::Kind::transport, "refused"};
    auto vm = sources.make();
    auto c = context(profile(36));
    c.installedModels = {installed("llama3.1:8b")};
    ModelPerformanceRecord tried;
    tried.modelName = "mistral";
    c.triedModels = {tried};
    run(*vm, c);

    ASSERT_TRUE(vm->lastContext());
    EXPECT_TRUE(vm->lastContext()->installedModels.empty());
    EXPECT_EQ(vm->lastContext()->triedModels.size(), 1u);
    EXPECT_EQ(vm->lastContext()->primaryUseCase, UseCase::coding);
    EXPECT_TRUE(vm->installedRankings().empty());
    EXPECT_FALSE(vm->recommendations().empty());
    EXPECT_LE(vm->recommendations().size(), 5u);
    EXPECT_LE(vm->frameworkRecommendations().size(), 3u);
    EXPECT_FALSE(vm->macProfile()) << "a run never publishes a profile";
}

TEST(AdvisorViewModelTest, InstalledListAgreesWithTheCardsBadge)
{
    // The whole tag in other letter case counts; a display name, a longer tag or a suffix does not.
    FakeSources sources;
    sources.answer.models
        = {installed("LLAMA3.1:8B"), installed("Mistral 7B"), installed("phi3.5:3.8b-q8"), installed("qwen2.5-coder")};
    auto vm = sources.make();
    run(*vm, context(profile(64)));

    ASSERT_EQ(vm->lastContext()->installedModels.size(), 4u);
    ASSERT_TRUE(contains(vm->recommendations(), "llama3.1:8b"));
    EXPECT_TRUE(contains(vm->installedRankings(), "llama3.1:8b"));
    for (const auto& r : vm->recommendations()) {
        const bool listed = contains(vm->installedRankings(), r.model.id);
        EXPECT_EQ(listed, r.alreadyInstalled) << r.model.id;
        EXPECT_EQ(listed, r.badge == ModelRecommendation::Badge::alreadyHave) << r.model.id;
    }
    EXPECT_FALSE(contains(vm->installedRankings(), "mistral:7b"));
    EXPECT_FALSE(contains(vm->installedRankings(), "phi3.5:3.8b"));
    EXPECT_FALSE(contains(vm->installedRankings(), "qwen2.5-coder:32b"));
    // The installed list keeps the order of the recommendations.
    std::vector<std::string> order;
    for (const auto& r : vm->recommendations()) {
        if (contains(vm->installedRankings(), r.model.id))
            order.push_back(r.model.id);
    }
    std::vector<std::string> listed;
    for (const auto& r : vm->installedRankings())
        listed.push_back(r.model.id);
    EXPECT_EQ(listed, order);
}

TEST(AdvisorViewModelTest, NotRecommendedIsTheRestOfTheCatalogueInOrder)
{
    FakeSources sources;
    auto vm = sources.make();
    run(*vm, context(profile(64)));
    std::vector<std::string> expected;
    for (const auto& m : ModelDatabase::all()) {
        if (!contains(vm->recommendations(), m.id))
            expected.push_back(m.id);
    }
    EXPECT_EQ(ids(vm->notRecommended()), expected);

    // Nothing fits 2 GB: no recommendations, the whole catalogue not recommended, nothing installed.
    sources.answer.models = {installed("llama3.1:8b")};
    auto small = sources.make();
    run(*small, context(profile(2)));
    EXPECT_TRUE(small->recommendations().empty());
    EXPECT_TRUE(small->installedRankings().empty());
    EXPECT_EQ(ids(small->notRecommended()), ids(ModelDatabase::all()));

    std::vector<ModelRecommendation> everything;
    for (const auto& m : ModelDatabase::all())
        everything.push_back(recommendation(1, m.id));
    EXPECT_TRUE(AdvisorViewModel::notRecommendedAmong(everything).empty());
}

TEST(AdvisorViewModelTest, DestroyedMidRunDropsTheResultWithoutCrashing)
{
    // The server answers only after the view model is gone; the engines it used stay alive for the work.
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> opened = gate->get_future().share();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto vm = std::make_unique<AdvisorViewModel>(
        [] {
            return DetectedMachine {profile(36), true};
        },
        [opened, finished] {
            opened.wait();
            finished->store(true);
            return OllamaModelsResult {};
        });
    vm->runRecommendations(context(profile(36)));
    vm->load();
    vm.reset();
    gate->set_value();
    ASSERT_TRUE(waitFor([&] { return finished->load(); }));
    QThreadPool::globalInstance()->waitForDone(5000);
    waitFor([] { return false; }, 50);

    // In the sanitizer build the detection, then the ranking, is held at each of its allocations in turn
    // while the view model goes.
    for (const bool ranking : {false, true}) {
        for (int allowed = 0; allocationpause::available(); ++allowed) {
            auto released = std::make_unique<AdvisorViewModel>(
                [] {
                    return DetectedMachine {profile(36), true};
                },
                [] { return OllamaModelsResult {}; });
            const auto start = [&] {
                if (ranking)
                    released->runRecommendations(context(profile(36)));
                else
                    released->load();
            };
            if (!allocationpause::releasedWhileHeld(allowed, start, [&] { released.reset(); }))
                break;
        }
    }
}

TEST(AdvisorViewModelTest, LoadingLastsUntilTheLastPendingWorkHasEnded)
{
    // Detection and the server's answer each wait for their own gate, so the test says which ends first.
    auto detectGate = std::make_shared<std::promise<void>>();
    auto answerGate = std::make_shared<std::promise<void>>();
    std::shared_future<void> detected = detectGate->get_future().share();
    std::shared_future<void> answered = answerGate->get_future().share();
    auto detections = std::make_shared<std::atomic<int>>(0);
    AdvisorViewModel vm(
        [detected, detections] {
            ++*detections;
            detected.wait();
            return DetectedMachine {profile(36), true};
        },
        [answered] {
            answered.wait();
            return OllamaModelsResult {};
        });
    QSignalSpy loading(&vm, &AdvisorViewModel::isLoadingChanged);
    vm.load();
    vm.load(); // while the first detection runs: no second one
    vm.runRecommendations(context(profile(36)));
    EXPECT_TRUE(vm.isLoading());

    // The machine is known while the ranking still waits for the server: still loading.
    detectGate->set_value();
    ASSERT_TRUE(waitFor([&] { return vm.macProfile().has_value(); }));
    waitFor([] { return false; }, 30);
    EXPECT_TRUE(vm.isLoading());
    EXPECT_FALSE(vm.lastContext().has_value());

    answerGate->set_value();
    ASSERT_TRUE(waitFor([&] { return vm.lastContext().has_value(); }));
    EXPECT_FALSE(vm.isLoading());
    EXPECT_EQ(loading.count(), 2);
    EXPECT_EQ(detections->load(), 1);
}
