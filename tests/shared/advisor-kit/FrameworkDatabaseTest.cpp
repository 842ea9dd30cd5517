#include "advisor-kit/FrameworkDatabase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <vector>

// Every figure and text of the runtime catalogue, written out as the catalogue is published, so
// that a changed digit or word in any row fails here.
namespace {

using U = UseCase;
using F = InferenceFramework;

struct PublishedRuntime
{
    InferenceFramework framework;
    std::string displayName;
    bool requiresPython, requiresXcode;
    double memoryOverheadGB;
    std::int64_t setupMinutes;
    std::optional<std::int64_t> githubStars;
    bool activelyMaintained;
    std::string lastUpdated;
    bool openAICompatible;
    // Port of the local server on the loopback host; nullopt where the runtime has no server.
    std::optional<int> apiPort;
    std::vector<UseCase> bestFor;
    std::string tagline, description, notes;
    // Empty where the command is the project's own choice, checked by its form instead.
    std::string installCommand;
    std::string verifyCommand;
    std::vector<std::string> pros, cons;
};

const PublishedRuntime publishedRuntimes[] = {
    {F::ollama, "Ollama", false, false, 0.2, 2, 85000, true, "2025-07", true, 11434,
        {U::generalChat, U::coding, U::codeCompletion, U::research}, "The easiest way to run LLMs locally",
        "Simple CLI + API server for running local models. Best default choice.",
        "Start here. Switch to another framework only if you have a specific need Ollama doesn't meet.", "",
        "ollama --version",
        {"Easiest setup \u2014 one command install", "Clean REST API at localhost:11434", "Automatic model management",
            "Active development, frequent updates", "Huge model library (300+ models)",
            "Works with most AI coding tools"},
        {"Less control than llama.cpp directly", "Slightly higher memory overhead",
            "No GPU selection on multi-GPU setups"}},
    {F::mlx, "MLX (Apple)", true, false, 0.1, 10, 18000, true, "2025-07", false, std::nullopt,
        {U::coding, U::reasoning, U::dataAnalysis, U::longContext}, "Apple's ML framework \u2014 fastest on M-series",
        "Apple's own ML framework, specifically optimized for the Apple Silicon Neural Engine and GPU.",
        "Best raw performance on Apple Silicon. Choose this if you're comfortable with Python and want maximum speed.",
        "pip install mlx-lm", "python -c 'import mlx; print(mlx.__version__)'",
        {"Fastest inference on Apple Silicon", "Native Metal GPU acceleration", "Direct Neural Engine access",
            "Built by Apple engineers", "Active Python ecosystem (mlx-lm)", "Best for fine-tuning locally"},
        {"Requires Python setup", "Fewer ready-to-use models than Ollama", "Less convenient for non-Python users",
            "No GUI \u2014 command line only", "API setup requires extra steps"}},
    {F::lmStudio, "LM Studio", false, false, 0.8, 5, std::nullopt, true, "2025-07", true, 1234,
        {U::generalChat, U::writing, U::research}, "Beautiful GUI for local models",
        "Desktop application with a polished interface for downloading and chatting with local models.",
        "Best choice if you want a polished UI and don't need API access from other tools.", "", "open -a 'LM Studio'",
        {"Best GUI experience", "Easy model discovery and download", "Built-in chat interface",
            "OpenAI-compatible API server", "No command line needed"},
        {"Higher memory overhead than Ollama", "GUI-first (less scriptable)", "Slower startup than Ollama",
            "Free tier has some limitations"}},
    {F::llamaCpp, "llama.cpp", false, false, 0.05, 20, 70000, true, "2025-07", true, 8080,
        {U::coding, U::dataAnalysis, U::systemsDesign, U::longContext}, "Maximum control and performance",
        "The original C++ implementation. Most control, most configuration options.",
        "Best for power users who want maximum control. Start with Ollama and switch here if you need specific "
        "features.",
        "brew install llama.cpp", "llama-cli --version",
        {"Maximum performance tuning control", "Custom quantization options", "Lowest memory overhead",
            "Widest hardware support", "Supports every quantization format", "Excellent for power users"},
        {"Complex setup", "Command line only", "Manual model management", "Steeper learning curve"}},
    {F::jan, "Jan", false, false, 0.6, 4, 22000, true, "2025-07", true, 1337, {U::generalChat, U::writing},
        "Open-source desktop AI client", "An open-source alternative to LM Studio, fully offline and customizable.",
        "A great open-source offline desktop GUI if you want to avoid proprietary frameworks.", "", "open -a 'Jan'",
        {"100% open source", "Local-first design", "Polished desktop UI", "Supports extension framework"},
        {"Smaller community than Ollama", "High GUI overhead"}},
};

bool matches(const std::string& text, const char* pattern)
{
    return std::regex_match(text, std::regex(pattern));
}

} // namespace

TEST(FrameworkDatabaseTest, EveryFigureAndTextOfEveryRowAsPublished)
{
    const auto& rows = FrameworkDatabase::all();
    ASSERT_EQ(rows.size(), std::size(publishedRuntimes));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const FrameworkProfile& p = rows[i];
        const PublishedRuntime& want = publishedRuntimes[i];
        SCOPED_TRACE(want.displayName);
        EXPECT_EQ(p.framework, want.framework);
        EXPECT_EQ(p.displayName, want.displayName);
        EXPECT_EQ(p.requiresPython, want.requiresPython);
        EXPECT_EQ(p.requiresXcode, want.requiresXcode);
        EXPECT_EQ(p.memoryOverheadGB, want.memoryOverheadGB);
        EXPECT_EQ(p.setupMinutes, want.setupMinutes);
        EXPECT_EQ(p.githubStars, want.githubStars);
        EXPECT_EQ(p.activelyMaintained, want.activelyMaintained);
        EXPECT_EQ(p.lastUpdated, want.lastUpdated);
        EXPECT_EQ(p.openAICompatible, want.openAICompatible);
        EXPECT_EQ(p.bestFor, want.bestFor);
        EXPECT_EQ(p.tagline, want.tagline);
        EXPECT_EQ(p.description, want.description);
        EXPECT_EQ(p.notes, want.notes);
        EXPECT_EQ(p.verifyCommand, want.verifyCommand);
        EXPECT_EQ(p.pros, want.pros);
        EXPECT_EQ(p.cons, want.cons);
        if (!want.installCommand.empty()) {
            EXPECT_EQ(p.installCommand, want.installCommand);
        }
        if (want.apiPort) {
            // The base address of a server on this machine: no path after the port.
            ASSERT_TRUE(p.apiEndpoint);
            EXPECT_TRUE(matches(
                *p.apiEndpoint, ("http://(localhost|127\\.0\\.0\\.1):" + std::to_string(*want.apiPort)).c_str()))
                << *p.apiEndpoint;
        } else {
            EXPECT_FALSE(p.apiEndpoint);
        }
    }
}

TEST(FrameworkDatabaseTest, InstallCommandsOfOurChoosingHaveTheirForm)
{
    const auto& rows = FrameworkDatabase::all();
    ASSERT_EQ(rows.size(), 5u);
    // One line that fetches the install script and pipes it into the shell.
    EXPECT_TRUE(matches(rows[0].installCommand, "curl -fsSL https://[^ \n]+ \\| sh")) << rows[0].installCommand;
    EXPECT_TRUE(matches(rows[2].installCommand, "Download from [a-z0-9.-]+\\.[a-z]+")) << rows[2].installCommand;
    EXPECT_TRUE(matches(rows[4].installCommand, "Download from [a-z0-9.-]+\\.[a-z]+")) << rows[4].installCommand;
}
