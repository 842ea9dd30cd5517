#include "FrameworkDatabase.h"

namespace {

using U = UseCase;
using F = InferenceFramework;

std::vector<FrameworkProfile> buildFrameworkCatalogue()
{
    std::vector<FrameworkProfile> rows;

    rows.push_back({
        .framework = F::ollama,
        .displayName = "Ollama",
        .tagline = "The easiest way to run LLMs locally",
        .description = "Simple CLI + API server for running local models. Best default choice.",
        .pros = {"Easiest setup \u2014 one command install", "Clean REST API at localhost:11434",
            "Automatic model management", "Active development, frequent updates", "Huge model library (300+ models)",
            "Works with most AI coding tools"},
        .cons = {"Less control than llama.cpp directly", "Slightly higher memory overhead",
            "No GPU selection on multi-GPU setups"},
        .bestFor = {U::generalChat, U::coding, U::codeCompletion, U::research},
        .requiresPython = false,
        .requiresXcode = false,
        .memoryOverheadGB = 0.2,
        .setupMinutes = 2,
        .installCommand = "curl -fsSL https://ollama.com/install.sh | sh",
        .verifyCommand = "ollama --version",
        .officialWebsite = "https://ollama.com",
        .githubStars = 85000,
        .activelyMaintained = true,
        .lastUpdated = "2025-07",
        .apiEndpoint = "http://localhost:11434",
        .openAICompatible = true,
        .notes = "Start here. Switch to another framework only if you have a specific need Ollama doesn't meet.",
    });

    rows.push_back({
        .framework = F::mlx,
        .displayName = "MLX (Apple)",
        .tagline = "Apple's ML framework \u2014 fastest on M-series",
        .description = "Apple's own ML framework, specifically optimized for the Apple Silicon Neural Engine and GPU.",
        .pros = {"Fastest inference on Apple Silicon", "Native Metal GPU acceleration", "Direct Neural Engine access",
            "Built by Apple engineers", "Active Python ecosystem (mlx-lm)", "Best for fine-tuning locally"},
        .cons
        = {"Requires Python setup", "Fewer ready-to-use models than Ollama", "Less convenient for non-Python users",
            "No GUI \u2014 command line only", "API setup requires extra steps"},
        .bestFor = {U::coding, U::reasoning, U::dataAnalysis, U::longContext},
        .requiresPython = true,
        .requiresXcode = false,
        .memoryOverheadGB = 0.1,
        .setupMinutes = 10,
        .installCommand = "pip install mlx-lm",
        .verifyCommand = "python -c 'import mlx; print(mlx.__version__)'",
        .officialWebsite = "https://github.com/ml-explore/mlx",
        .githubStars = 18000,
        .activelyMaintained = true,
        .lastUpdated = "2025-07",
        .apiEndpoint = std::nullopt,
        .openAICompatible = false,
        .notes = "Best raw performance on Apple Silicon. Choose this if you're comfortable with Python and want "
                 "maximum speed.",
    });

    rows.push_back({
        .framework = F::lmStudio,
        .displayName = "LM Studio",
        .tagline = "Beautiful GUI for local models",
        .description = "Desktop application with a polished interface for downloading and chatting with local models.",
        .pros = {"Best GUI experience", "Easy model discovery and download", "Built-in chat interface",
            "OpenAI-compatible API server", "No command line needed"},
        .cons = {"Higher memory overhead than Ollama", "GUI-first (less scriptable)", "Slower startup than Ollama",
            "Free tier has some limitations"},
        .bestFor = {U::generalChat, U::writing, U::research},
        .requiresPython = false,
        .requiresXcode = false,
        .memoryOverheadGB = 0.8,
        .setupMinutes = 5,
        .installCommand = "Download from lmstudio.ai",
        .verifyCommand = "open -a 'LM Studio'",
        .officialWebsite = "https://lmstudio.ai",
        .githubStars = std::nullopt,
        .activelyMaintained = true,
        .lastUpdated = "2025-07",
        .apiEndpoint = "http://localhost:1234",
        .openAICompatible = true,
        .notes = "Best choice if you want a polished UI and don't need API access from other tools.",
    });

    rows.push_back({
        .framework = F::llamaCpp,
        .displayName = "llama.cpp",
        .tagline = "Maximum control and performance",
        .description = "The original C++ implementation. Most control, most configuration options.",
        .pros = {"Maximum performance tuning control", "Custom quantization options", "Lowest memory overhead",
            "Widest hardware support", "Supports every quantization format", "Excellent for power users"},
        .cons = {"Complex setup", "Command line only", "Manual model management", "Steeper learning curve"},
        .bestFor = {U::coding, U::dataAnalysis, U::systemsDesign, U::longContext},
        .requiresPython = false,
        .requiresXcode = false,
        .memoryOverheadGB = 0.05,
        .setupMinutes = 20,
        .installCommand = "brew install llama.cpp",
        .verifyCommand = "llama-cli --version",
        .officialWebsite = "https://github.com/ggml-org/llama.cpp",
        .githubStars = 70000,
        .activelyMaintained = true,
        .lastUpdated = "2025-07",
        .apiEndpoint = "http://localhost:8080",
        .openAICompatible = true,
        .notes = "Best for power users who want maximum control. Start with Ollama and switch here if you need "
                 "specific features.",
    });

    rows.push_back({
        .framework = F::jan,
        .displayName = "Jan",
        .tagline = "Open-source desktop AI client",
        .description = "An open-source alternative to LM Studio, fully offline and customizable.",
        .pros = {"100% open source", "Local-first design", "Polished desktop UI", "Supports extension framework"},
        .cons = {"Smaller community than Ollama", "High GUI overhead"},
        .bestFor = {U::generalChat, U::writing},
        .requiresPython = false,
        .requiresXcode = false,
        .memoryOverheadGB = 0.6,
        .setupMinutes = 4,
        .installCommand = "Download from jan.ai",
        .verifyCommand = "open -a 'Jan'",
        .officialWebsite = "https://jan.ai",
        .githubStars = 22000,
        .activelyMaintained = true,
        .lastUpdated = "2025-07",
        .apiEndpoint = "http://localhost:1337",
        .openAICompatible = true,
        .notes = "A great open-source offline desktop GUI if you want to avoid proprietary frameworks.",
    });

    return rows;
}

} // namespace

const std::vector<FrameworkProfile>& FrameworkDatabase::all()
{
    static const std::vector<FrameworkProfile> rows = buildFrameworkCatalogue();
    return rows;
}
