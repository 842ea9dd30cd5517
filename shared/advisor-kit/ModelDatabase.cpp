#include "ModelDatabase.h"

#include <algorithm>

namespace {

using Q = QuantizationLevel;
using U = UseCase;
using F = InferenceFramework;

// Every variant in the catalogue occupies as much memory as it downloads.
std::map<Q, MemoryProfile> variants(std::initializer_list<MemoryProfile> list)
{
    std::map<Q, MemoryProfile> out;
    for (const auto& v : list)
        out[v.quantization] = v;
    return out;
}

MemoryProfile variant(Q level, double sizeGB, double retentionPercent, bool recommended)
{
    return {level, sizeGB, sizeGB, retentionPercent, recommended};
}

std::map<ChipClass, PerformanceProfile> measurements(std::initializer_list<PerformanceProfile> list)
{
    std::map<ChipClass, PerformanceProfile> out;
    for (const auto& m : list)
        out[m.chipClass] = m;
    return out;
}

PerformanceProfile measured(ChipClass chip, double simple, double complex, double firstToken, double prefill)
{
    return {chip, simple, complex, firstToken, prefill, "2025-01", "community"};
}

std::vector<ModelProfile> buildModelCatalogue()
{
    std::vector<ModelProfile> rows;

    rows.push_back({
        .id = "llama3.1:8b",
        .displayName = "Llama 3.1 8B",
        .family = "Llama 3.1",
        .publisher = "Meta",
        .description = "Fast, capable general-purpose model. Best value for machines with 8-16GB RAM.",
        .releaseDate = "2024-07",
        .isPopular = true,
        .scores = {.mmlu = 73.0,
            .generalQuality = 7.2,
            .humanEval = 72.6,
            .mbpp = 72.8,
            .codingScore = 7.1,
            .gsm8k = 84.4,
            .math = 51.9,
            .reasoningScore = 7.0,
            .mtBench = 8.22,
            .instructionScore = 8.2,
            .multilingualScore = 6.5,
            .benchmarkSource = "meta-llama/Meta-Llama-3.1-8B-Instruct",
            .benchmarkDate = "2024-Q3"},
        .memoryProfiles
        = variants({variant(Q::q4, 4.7, 94, true), variant(Q::q8, 8.5, 99, false), variant(Q::fp16, 16.0, 100, false)}),
        .performanceProfiles
        = measurements({measured(ChipClass::m3Max, 82, 65, 0.3, 2800), measured(ChipClass::m3Pro, 55, 42, 0.4, 1800),
            measured(ChipClass::m2Max, 70, 55, 0.35, 2200), measured(ChipClass::m1Base, 26, 18, 0.7, 800)}),
        .strongUseCases = {U::generalChat, U::coding, U::writing, U::research},
        .weakUseCases = {U::longContext, U::reasoning},
        .contextWindowTokens = 128000,
        .thermalImpact = ThermalImpact::minimal,
        .availableVia = {F::ollama, F::lmStudio, F::jan, F::mlx, F::llamaCpp},
        .installCommands = {{F::ollama, "ollama pull llama3.1:8b"},
            {F::mlx, "pip install mlx-lm && mlx_lm.generate --model mlx-community/Meta-Llama-3.1-8B-Instruct-4bit"}},
        .tags = {"fast", "efficient", "general", "popular", "beginner-friendly"},
        .downloadSizeGB = 4.7,
        .notes = std::nullopt,
    });

    rows.push_back({
        .id = "llama3.1:70b",
        .displayName = "Llama 3.1 70B",
        .family = "Llama 3.1",
        .publisher = "Meta",
        .description = "High-quality large model for complex tasks. Needs 48GB+ RAM to run comfortably.",
        .releaseDate = "2024-07",
        .isPopular = true,
        .scores = {.mmlu = 83.6,
            .generalQuality = 8.8,
            .humanEval = 80.5,
            .mbpp = 82.3,
            .codingScore = 8.2,
            .gsm8k = 95.1,
            .math = 68.0,
            .reasoningScore = 8.5,
            .mtBench = 8.79,
            .instructionScore = 8.8,
            .multilingualScore = 8.0,
            .benchmarkSource = "meta-llama/Meta-Llama-3.1-70B-Instruct",
            .benchmarkDate = "2024-Q3"},
        .memoryProfiles = variants({variant(Q::q4, 42.5, 95, true), variant(Q::q8, 75.0, 99, false)}),
        .performanceProfiles
        = measurements({measured(ChipClass::m3Max, 32, 22, 1.2, 800), measured(ChipClass::m2Ultra, 45, 32, 0.8, 1200)}),
        .strongUseCases = {U::reasoning, U::coding, U::research, U::systemsDesign, U::longContext},
        .weakUseCases = {},
        .contextWindowTokens = 128000,
        .thermalImpact = ThermalImpact::moderate,
        .availableVia = {F::ollama, F::lmStudio, F::jan, F::mlx, F::llamaCpp},
        .installCommands = {{F::ollama, "ollama pull llama3.1:70b"}},
        .tags = {"high-quality", "large", "popular", "coding", "reasoning"},
        .downloadSizeGB = 42.5,
        .notes = "Needs 48GB+ RAM for comfortable use. On 48GB machines, leaves little headroom for concurrent apps.",
    });

    rows.push_back({
        .id = "deepseek-coder-v2:16b",
        .displayName = "DeepSeek Coder V2 16B",
        .family = "DeepSeek Coder V2",
        .publisher = "DeepSeek",
        .description = "Best-in-class coding model at 16B. Outperforms many larger models on code tasks.",
        .releaseDate = "2024-06",
        .isPopular = true,
        .scores = {.mmlu = 78.9,
            .generalQuality = 7.8,
            .humanEval = 90.2,
            .mbpp = 84.7,
            .codingScore = 9.2,
            .gsm8k = 88.5,
            .math = 75.7,
            .reasoningScore = 8.0,
            .mtBench = 8.4,
            .instructionScore = 8.3,
            .multilingualScore = 7.2,
            .benchmarkSource = "deepseek-ai/DeepSeek-Coder-V2-Instruct",
            .benchmarkDate = "2024-Q2"},
        .memoryProfiles = variants({variant(Q::q4, 9.1, 95, true), variant(Q::q8, 16.5, 99, false)}),
        .performanceProfiles = measurements({measured(ChipClass::m3Max, 48, 38, 0.5, 1800)}),
        .strongUseCases = {U::coding, U::codeCompletion, U::reasoning, U::dataAnalysis},
        .weakUseCases = {U::writing, U::generalChat},
        .contextWindowTokens = 128000,
        .thermalImpact = ThermalImpact::minimal,
        .availableVia = {F::ollama, F::lmStudio},
        .installCommands = {{F::ollama, "ollama pull deepseek-coder-v2:16b"}},
        .tags = {"coding", "fast", "efficient", "recommended-for-developers"},
        .downloadSizeGB = 9.1,
        .notes = "Exceptional coding performance relative to its size. First choice for developers on machines with "
                 "16-32GB RAM.",
    });

    rows.push_back({
        .id = "qwen2.5-coder:32b",
        .displayName = "Qwen 2.5 Coder 32B",
        .family = "Qwen 2.5",
        .publisher = "Alibaba",
        .description = "State-of-the-art coding model. Top scores on coding benchmarks.",
        .releaseDate = "2024-11",
        .isPopular = true,
        .scores = {.mmlu = 83.0,
            .generalQuality = 8.5,
            .humanEval = 92.7,
            .mbpp = 90.2,
            .codingScore = 9.5,
            .gsm8k = 91.2,
            .math = 82.3,
            .reasoningScore = 8.7,
            .mtBench = 8.7,
            .instructionScore = 8.6,
            .multilingualScore = 8.5,
            .benchmarkSource = "Qwen/Qwen2.5-Coder-32B-Instruct",
            .benchmarkDate = "2024-Q4"},
        .memoryProfiles = variants({variant(Q::q4, 19.4, 95, true)}),
        .performanceProfiles = measurements({measured(ChipClass::m3Max, 34, 26, 0.7, 1200)}),
        .strongUseCases = {U::coding, U::codeCompletion, U::dataAnalysis, U::reasoning},
        .weakUseCases = {U::generalChat},
        .contextWindowTokens = 128000,
        .thermalImpact = ThermalImpact::moderate,
        .availableVia = {F::ollama, F::lmStudio},
        .installCommands = {{F::ollama, "ollama pull qwen2.5-coder:32b"}},
        .tags = {"coding", "high-quality", "state-of-the-art", "large"},
        .downloadSizeGB = 19.4,
        .notes = std::nullopt,
    });

    rows.push_back({
        .id = "mistral:7b",
        .displayName = "Mistral 7B",
        .family = "Mistral",
        .publisher = "Mistral AI",
        .description = "Efficient and fast. Good all-rounder for machines with limited RAM.",
        .releaseDate = "2023-09",
        .isPopular = true,
        .scores = {.mmlu = 62.5,
            .generalQuality = 6.8,
            .humanEval = 30.5,
            .mbpp = 45.1,
            .codingScore = 5.5,
            .gsm8k = 52.1,
            .math = 13.1,
            .reasoningScore = 5.8,
            .mtBench = 7.6,
            .instructionScore = 7.5,
            .multilingualScore = 6.0,
            .benchmarkSource = "mistralai/Mistral-7B-Instruct-v0.3",
            .benchmarkDate = "2024-Q2"},
        .memoryProfiles = variants({variant(Q::q4, 4.1, 93, true)}),
        .performanceProfiles
        = measurements({measured(ChipClass::m3Max, 88, 70, 0.2, 3200), measured(ChipClass::m1Base, 22, 16, 0.8, 600)}),
        .strongUseCases = {U::generalChat, U::writing, U::research},
        .weakUseCases = {U::coding, U::reasoning, U::longContext},
        .contextWindowTokens = 32000,
        .thermalImpact = ThermalImpact::minimal,
        .availableVia = {F::ollama, F::lmStudio, F::jan, F::mlx, F::llamaCpp, F::gpt4all},
        // Pulled by its untagged name, unlike its id.
        .installCommands = {{F::ollama, "ollama pull mistral"}},
        .tags = {"fast", "efficient", "beginner-friendly", "low-memory", "popular"},
        .downloadSizeGB = 4.1,
        .notes = "Best choice for machines with 8-16GB RAM. Not recommended for complex coding tasks.",
    });

    rows.push_back({
        .id = "phi3.5:3.8b",
        .displayName = "Phi 3.5 Mini 3.8B",
        .family = "Phi 3.5",
        .publisher = "Microsoft",
        .description = "Tiny but surprisingly capable. Best model for machines with 8GB RAM.",
        .releaseDate = "2024-08",
        .isPopular = false,
        .scores = {.mmlu = 69.0,
            .generalQuality = 7.0,
            .humanEval = 62.8,
            .mbpp = 69.4,
            .codingScore = 6.8,
            .gsm8k = 86.2,
            .math = 55.6,
            .reasoningScore = 7.2,
            .mtBench = std::nullopt,
            .instructionScore = 7.0,
            .multilingualScore = 6.8,
            .benchmarkSource = "microsoft/Phi-3.5-mini-instruct",
            .benchmarkDate = "2024-Q3"},
        .memoryProfiles = variants({variant(Q::q4, 2.2, 93, true)}),
        .performanceProfiles = measurements(
            {measured(ChipClass::m1Base, 45, 32, 0.3, 1200), measured(ChipClass::m3Max, 150, 110, 0.1, 5000)}),
        .strongUseCases = {U::codeCompletion, U::generalChat, U::writing},
        .weakUseCases = {U::longContext, U::reasoning, U::dataAnalysis},
        .contextWindowTokens = 128000,
        .thermalImpact = ThermalImpact::minimal,
        .availableVia = {F::ollama, F::lmStudio, F::mlx},
        // Pulled by its untagged name, unlike its id.
        .installCommands = {{F::ollama, "ollama pull phi3.5"}},
        .tags = {"tiny", "fast", "low-memory", "8gb-friendly", "surprisingly-capable"},
        .downloadSizeGB = 2.2,
        .notes = "Remarkable quality for its size. Best choice when RAM is the constraint.",
    });

    return rows;
}

} // namespace

const std::vector<ModelProfile>& ModelDatabase::all()
{
    static const std::vector<ModelProfile> rows = buildModelCatalogue();
    return rows;
}

std::optional<ModelProfile> ModelDatabase::model(std::string_view id)
{
    for (const auto& m : all()) {
        if (m.id == id)
            return m;
    }
    return std::nullopt;
}

std::vector<ModelProfile> ModelDatabase::modelsFor(UseCase useCase)
{
    std::vector<ModelProfile> out;
    for (const auto& m : all()) {
        if (std::find(m.strongUseCases.begin(), m.strongUseCases.end(), useCase) != m.strongUseCases.end())
            out.push_back(m);
    }
    return out;
}

std::vector<ModelProfile> ModelDatabase::modelsFittingInGB(double memoryGB)
{
    std::vector<ModelProfile> out;
    for (const auto& m : all()) {
        double smallest = 999;
        if (!m.memoryProfiles.empty()) {
            smallest
                = std::min_element(m.memoryProfiles.begin(), m.memoryProfiles.end(), [](const auto& a, const auto& b) {
                      return a.second.runtimeFootprintGB < b.second.runtimeFootprintGB;
                  })->second.runtimeFootprintGB;
        }
        if (smallest < memoryGB - 8)
            out.push_back(m);
    }
    return out;
}

std::vector<ModelProfile> ModelDatabase::popularModels()
{
    std::vector<ModelProfile> out;
    for (const auto& m : all()) {
        if (m.isPopular)
            out.push_back(m);
    }
    return out;
}
