#include "PlatformSysctlSource.h"

#include <array>

namespace {

bool isAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool beginsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

PlatformSysctlSource::PlatformSysctlSource(std::string procRoot, std::string sysRoot)
    : m_sysctl(std::move(procRoot), std::move(sysRoot))
{
}

std::optional<std::int64_t> PlatformSysctlSource::integer(std::string_view key) const
{
    return m_sysctl.integer(key);
}

std::optional<std::string> PlatformSysctlSource::appleModel() const
{
    auto model = m_sysctl.string("hw.model");
    if (!model || !beginsWith(*model, "Apple "))
        return std::nullopt;
    return model;
}

std::optional<std::string> PlatformSysctlSource::string(std::string_view key) const
{
    if (key == "hw.model")
        return appleModel();
    if (key == "machdep.cpu.brand_string") {
        if (auto brand = m_sysctl.string(key); brand && beginsWith(*brand, "Apple "))
            return brand;
        const auto model = appleModel();
        if (!model)
            return std::nullopt;
        if (const auto chip = chipNameInModel(*model))
            return "Apple " + *chip;
        return std::nullopt;
    }
    return m_sysctl.string(key);
}

std::optional<std::string> PlatformSysctlSource::processorName() const
{
    if (auto brand = string("machdep.cpu.brand_string"))
        return brand;
    return m_sysctl.string("machdep.cpu.brand_string");
}

std::optional<std::string> PlatformSysctlSource::chipNameInModel(std::string_view model)
{
    // A word "M" followed by digits, then an optional tier word.
    for (std::size_t i = 0; i + 1 < model.size(); ++i) {
        if (model[i] != 'M' || (i > 0 && isAlnum(model[i - 1])) || !isDigit(model[i + 1]))
            continue;
        std::size_t end = i + 1;
        while (end < model.size() && isDigit(model[end]))
            ++end;
        if (end < model.size() && isAlnum(model[end]))
            continue;
        std::string chip(model.substr(i, end - i));
        for (std::string_view tier : std::array<std::string_view, 3> {" Pro", " Max", " Ultra"}) {
            const std::size_t after = end + tier.size();
            if (model.substr(end, tier.size()) == tier && (after == model.size() || !isAlnum(model[after]))) {
                chip += tier;
                break;
            }
        }
        return chip;
    }
    return std::nullopt;
}
