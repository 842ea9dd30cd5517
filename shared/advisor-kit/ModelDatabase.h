#pragma once

#include "ModelProfile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The built-in catalogue of local language models. Built once on first use, then never changed,
// so any thread may read it.
class ModelDatabase
{
public:
    static constexpr std::string_view version = "1.0.0";
    static constexpr std::string_view lastUpdated = "2025-07";

    static const std::vector<ModelProfile>& all();

    // Exact, case-sensitive match of the id.
    static std::optional<ModelProfile> model(std::string_view id);
    // Models strong at the use case, in catalogue order.
    static std::vector<ModelProfile> modelsFor(UseCase useCase);
    // Models whose smallest variant is strictly below memoryGB - 8.
    static std::vector<ModelProfile> modelsFittingInGB(double memoryGB);
    static std::vector<ModelProfile> popularModels();
};
