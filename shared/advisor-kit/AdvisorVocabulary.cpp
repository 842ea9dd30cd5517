#include "AdvisorVocabulary.h"

#include "platform/text/AsciiText.h"

int neuralEngineCores(ChipClass chip)
{
    return chip == ChipClass::m1Ultra || chip == ChipClass::m2Ultra ? 32 : 16;
}

double memoryBandwidthGBs(ChipClass chip)
{
    switch (chip) {
    case ChipClass::m1Base:
        return 68.25;
    case ChipClass::m1Pro:
    case ChipClass::m2Pro:
        return 200;
    case ChipClass::m1Max:
    case ChipClass::m2Max:
    case ChipClass::m3Max:
        return 400;
    case ChipClass::m1Ultra:
    case ChipClass::m2Ultra:
        return 800;
    case ChipClass::m2Base:
    case ChipClass::m3Base:
        return 100;
    case ChipClass::m3Pro:
        return 150;
    case ChipClass::m4Base:
        return 120;
    case ChipClass::m4Pro:
        return 273;
    case ChipClass::m4Max:
        return 546;
    }
    return 68.25;
}

std::string icon(UseCase useCase)
{
    switch (useCase) {
    case UseCase::coding:
        return "chevron.left.forwardslash.chevron.right";
    case UseCase::codeCompletion:
        return "text.cursor";
    case UseCase::writing:
        return "pencil";
    case UseCase::research:
        return "magnifyingglass";
    case UseCase::reasoning:
        return "brain";
    case UseCase::longContext:
        return "doc.text";
    case UseCase::generalChat:
        return "bubble.left";
    case UseCase::translation:
        return "globe";
    case UseCase::dataAnalysis:
        return "chart.bar";
    case UseCase::systemsDesign:
        return "server.rack";
    }
    return {};
}

std::string qualityDescription(QuantizationLevel level)
{
    switch (level) {
    case QuantizationLevel::fp16:
        return "Maximum quality (full precision)";
    case QuantizationLevel::q8:
        return "Near-maximum quality";
    case QuantizationLevel::q6:
        return "Excellent quality";
    case QuantizationLevel::q5:
        return "Very good quality";
    case QuantizationLevel::q4:
        return "Good quality (recommended)";
    case QuantizationLevel::q3:
        return "Acceptable quality";
    case QuantizationLevel::q2:
        return "Reduced quality";
    case QuantizationLevel::iq2:
        return "Minimum quality";
    }
    return {};
}

std::string color(ThermalImpact impact)
{
    switch (impact) {
    case ThermalImpact::minimal:
        return "ThermalGreen";
    case ThermalImpact::moderate:
        return "ThermalYellow";
    case ThermalImpact::significant:
        return "ThermalOrange";
    }
    return {};
}

std::string lowercasedText(UseCase useCase)
{
    return platform::asciiLower(rawValue(useCase));
}
