#pragma once

#include "views/advisor/AdvisorViewModel.h"

#include <atomic>
#include <memory>

class DashboardViewModel;
class SampleData;
class QWidget;

// The advisor's sample machine: an M3 Pro-class profile of `memoryGB` with `availableGB` available (by
// default 30, so a few models fit beside the builds).
MacCapabilityProfile sampleAdvisorProfile(double memoryGB, double availableGB = 30);

// A view model over the sample machine of `memoryGB` whose server holds one recommended model. With `held`,
// the server answers only once it is set (or after kSettleBoundMs).
std::unique_ptr<AdvisorViewModel> undetectedSampleAdvisorViewModel(double memoryGB = 36, bool appleSilicon = true,
    std::shared_ptr<std::atomic<bool>> held = {}, double availableGB = 30);
// As above, the machine already detected.
std::unique_ptr<AdvisorViewModel> sampleAdvisorViewModel(
    double memoryGB = 36, bool appleSilicon = true, std::shared_ptr<std::atomic<bool>> held = {});

// The popover's model suggestion card over the sample machine of `memoryGB` with `availableGB` available,
// its sheet the sample advisor.
QWidget* sampleSuggestionCard(
    SampleData& data, DashboardViewModel& dashboard, double memoryGB, double availableGB, QWidget* parent);
