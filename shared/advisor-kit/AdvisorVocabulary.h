#pragma once

#include "core/JsonCodec.h"
#include "core/RawEnum.h"

#include <string>

// The advisor's closed vocabularies. Raw values are also the texts the views show, and every
// record stores these enumerations by their raw text.

enum class ChipClass {
    m1Base,
    m1Pro,
    m1Max,
    m1Ultra,
    m2Base,
    m2Pro,
    m2Max,
    m2Ultra,
    m3Base,
    m3Pro,
    m3Max,
    m4Base,
    m4Pro,
    m4Max
};

enum class UseCase {
    coding,
    codeCompletion,
    writing,
    research,
    reasoning,
    longContext,
    generalChat,
    translation,
    dataAnalysis,
    systemsDesign
};

// Declared from least to most precise, so the built-in comparisons give the precision order
// (iq2 < ... < fp16); allCases lists the most precise first.
enum class QuantizationLevel { iq2, q2, q3, q4, q5, q6, q8, fp16 };

enum class InferenceFramework { ollama, lmStudio, jan, mlx, llamaCpp, huggingFace, coreML, gpt4all };

enum class ThermalImpact { minimal, moderate, significant };

int neuralEngineCores(ChipClass chip);
double memoryBandwidthGBs(ChipClass chip);
std::string icon(UseCase useCase);
std::string qualityDescription(QuantizationLevel level);
// Name of the colour asset that tints the impact.
std::string color(ThermalImpact impact);
// The raw value in lower case, as sentences quote it ("writing & debugging code").
std::string lowercasedText(UseCase useCase);

template<> struct RawEnumTable<ChipClass>
{
    static constexpr std::array cases {
        std::pair {ChipClass::m1Base, std::string_view("M1")},
        std::pair {ChipClass::m1Pro, std::string_view("M1 Pro")},
        std::pair {ChipClass::m1Max, std::string_view("M1 Max")},
        std::pair {ChipClass::m1Ultra, std::string_view("M1 Ultra")},
        std::pair {ChipClass::m2Base, std::string_view("M2")},
        std::pair {ChipClass::m2Pro, std::string_view("M2 Pro")},
        std::pair {ChipClass::m2Max, std::string_view("M2 Max")},
        std::pair {ChipClass::m2Ultra, std::string_view("M2 Ultra")},
        std::pair {ChipClass::m3Base, std::string_view("M3")},
        std::pair {ChipClass::m3Pro, std::string_view("M3 Pro")},
        std::pair {ChipClass::m3Max, std::string_view("M3 Max")},
        std::pair {ChipClass::m4Base, std::string_view("M4")},
        std::pair {ChipClass::m4Pro, std::string_view("M4 Pro")},
        std::pair {ChipClass::m4Max, std::string_view("M4 Max")},
    };
};

template<> struct RawEnumTable<UseCase>
{
    static constexpr std::array cases {
        std::pair {UseCase::coding, std::string_view("Writing & debugging code")},
        std::pair {UseCase::codeCompletion, std::string_view("Code completion (Copilot-style)")},
        std::pair {UseCase::writing, std::string_view("Writing & editing")},
        std::pair {UseCase::research, std::string_view("Research & summarization")},
        std::pair {UseCase::reasoning, std::string_view("Complex reasoning & math")},
        std::pair {UseCase::longContext, std::string_view("Long documents & large codebases")},
        std::pair {UseCase::generalChat, std::string_view("General conversation")},
        std::pair {UseCase::translation, std::string_view("Translation")},
        std::pair {UseCase::dataAnalysis, std::string_view("Data analysis")},
        std::pair {UseCase::systemsDesign, std::string_view("Architecture & systems design")},
    };
};

template<> struct RawEnumTable<QuantizationLevel>
{
    static constexpr std::array cases {
        std::pair {QuantizationLevel::fp16, std::string_view("FP16")},
        std::pair {QuantizationLevel::q8, std::string_view("Q8_0")},
        std::pair {QuantizationLevel::q6, std::string_view("Q6_K")},
        std::pair {QuantizationLevel::q5, std::string_view("Q5_K_M")},
        std::pair {QuantizationLevel::q4, std::string_view("Q4_K_M")},
        std::pair {QuantizationLevel::q3, std::string_view("Q3_K_M")},
        std::pair {QuantizationLevel::q2, std::string_view("Q2_K")},
        std::pair {QuantizationLevel::iq2, std::string_view("IQ2_XXS")},
    };
};

template<> struct RawEnumTable<InferenceFramework>
{
    static constexpr std::array cases {
        std::pair {InferenceFramework::ollama, std::string_view("Ollama")},
        std::pair {InferenceFramework::lmStudio, std::string_view("LM Studio")},
        std::pair {InferenceFramework::jan, std::string_view("Jan")},
        std::pair {InferenceFramework::mlx, std::string_view("MLX")},
        std::pair {InferenceFramework::llamaCpp, std::string_view("llama.cpp")},
        std::pair {InferenceFramework::huggingFace, std::string_view("Hugging Face")},
        std::pair {InferenceFramework::coreML, std::string_view("CoreML")},
        std::pair {InferenceFramework::gpt4all, std::string_view("GPT4All")},
    };
};

template<> struct RawEnumTable<ThermalImpact>
{
    static constexpr std::array cases {
        std::pair {ThermalImpact::minimal, std::string_view("Minimal \u2014 rarely causes throttling")},
        std::pair {ThermalImpact::moderate, std::string_view("Moderate \u2014 occasional throttling")},
        std::pair {ThermalImpact::significant, std::string_view("Significant \u2014 frequent throttling")},
    };
};
