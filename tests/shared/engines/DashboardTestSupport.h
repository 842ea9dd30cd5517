#pragma once

#include "shared/engines/DashboardViewModel.h"
#include "shared/engines/MemoryEngine.h"
#include "shared/engines/OllamaEngine.h"
#include "shared/engines/ThermalEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFuture>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

// A machine in a temporary folder: /proc and /sys trees the dashboard reads, written by each test.
struct FakeMachine
{
    QTemporaryDir dir;
    std::filesystem::path root {dir.path().toStdString()};

    std::string proc() const { return (root / "proc").string(); }
    std::string sys() const { return (root / "sys").string(); }

    void write(const std::string& relative, const std::string& text) const
    {
        const auto path = root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    // Four CPUs: 0-1 performance, 2-3 efficiency.
    void hybridCpus() const
    {
        write("sys/devices/cpu_core/cpus", "0-1\n");
        write("sys/devices/cpu_atom/cpus", "2-3\n");
        write("sys/devices/system/cpu/online", "0-3\n");
        write("sys/devices/system/cpu/present", "0-3\n");
    }

    DashboardSources sources() const
    {
        DashboardSources s;
        s.procRoot = proc();
        s.sysRoot = sys();
        s.homePath = dir.path().toStdString();
        s.publicAddressUrl = "http://127.0.0.1:9"; // refused at once: nothing leaves the machine
        return s;
    }
};

// Engines that read the fixture machine; Ollama points at a loopback port of the test's choosing.
inline std::unique_ptr<DashboardViewModel> makeModel(
    const FakeMachine& machine, const DashboardSources& sources, const std::string& ollamaUrl = "http://127.0.0.1:9")
{
    auto memory = std::make_shared<MemoryEngine>(std::string(QV_TEST_DATA_DIR) + "/machines/hybrid-intel/proc");
    auto ollama = std::make_shared<OllamaEngine>(ollamaUrl);
    auto thermal = std::make_shared<ThermalEngine>(machine.sys());
    return std::make_unique<DashboardViewModel>(memory, ollama, thermal, sources);
}

inline std::unique_ptr<DashboardViewModel> makeModel(
    const FakeMachine& machine, const std::string& ollamaUrl = "http://127.0.0.1:9")
{
    return makeModel(machine, machine.sources(), ollamaUrl);
}

// Runs the event loop until the future is done (its continuation runs on this thread).
template<typename T> bool waitFor(const QFuture<T>& future, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!future.isFinished() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    return future.isFinished();
}
