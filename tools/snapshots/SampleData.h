#pragma once

#include "engines/RunningProcess.h"
#include "platform/host/MachineReader.h"
#include "support/doubles/ui/FakeClock.h"
#include "support/doubles/ui/RecordingDesktop.h"
#include "support/doubles/ui/ScriptedDialogs.h"

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

class DashboardViewModel;
class UserDefaults;
class ViewSettings;

// The fixed figures every picture shows, over a machine that has no sensors at all: a dashboard model
// that reads empty /proc and /sys trees, either left as created (no sample yet) or given a fixed series of
// samples. Settings live in a temporary file; the clock, desktop and dialogs are the test doubles.
class SampleData
{
public:
    enum class Kind { sample, noSensors };

    explicit SampleData(Kind kind);
    ~SampleData();

    Kind kind() const { return m_kind; }
    DashboardViewModel& dashboard() { return *m_dashboard; }
    ViewSettings& settings() { return *m_settings; }
    UserDefaults& defaults() { return *m_defaults; }
    FakeClock& clock() { return m_clock; }
    RecordingDesktop& desktop() { return m_desktop; }
    ScriptedDialogs& dialogs() { return m_dialogs; }

    // The label's sample CPU load and memory headroom.
    static constexpr double kCpuUsage = 37.6;
    static constexpr double kHeadroomGB = 5.3;

    // Names as long as the views must hold: a process and a model name of 40 characters and a list entry
    // of 30 (a compile trigger, a whitelisted application).
    static constexpr const char* kLongProcessName = "rust-analyzer-proc-macro-srv-worker-pool";
    static constexpr const char* kLongModelName = "deepseek-coder-v2-lite-instruct:16b-q4_K";
    static constexpr const char* kLongListEntry = "bazel-remote-cache-warmup-task";

    // The busiest processes of the sample machine.
    static std::vector<RunningProcess> sampleProcesses();
    // What the sample machine says about itself; nothing on the machine without sensors.
    platform::MachineFacts machineFacts() const;

private:
    void publishSamples();

    Kind m_kind;
    QTemporaryDir m_dir;
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<ViewSettings> m_settings;
    std::unique_ptr<DashboardViewModel> m_dashboard;
    FakeClock m_clock;
    RecordingDesktop m_desktop;
    ScriptedDialogs m_dialogs;
};

// Writes model stores and developer caches of sparse files (sizes without disk use) under `home`.
void writeSampleStores(const std::string& home);
