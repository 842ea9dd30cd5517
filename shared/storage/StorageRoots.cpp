#include "StorageRoots.h"

#include "platform/fs/ContainedPath.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace {

// A variable's value as a clean absolute path ("~/" expanded, as the tools that read these do).
std::optional<std::string> pathVariable(const char* name, const std::string& home)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    std::string text(value);
    if (text == "~" || text.starts_with("~/"))
        text = home + text.substr(1);
    return platform::ContainedPath::normalize(text);
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) {
        if (auto clean = platform::ContainedPath::normalize(home))
            return *clean;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        if (auto clean = platform::ContainedPath::normalize(pw->pw_dir))
            return *clean;
    }
    return "/";
}

} // namespace

StorageRoots StorageRoots::forHome(const std::string& home)
{
    const std::string clean = platform::ContainedPath::normalize(home).value_or(home);
    StorageRoots roots;
    roots.home = clean;
    roots.cacheHome = clean + "/.cache";
    roots.ollamaModels = {clean + "/.ollama/models"};
    roots.huggingFaceHub = roots.cacheHome + "/huggingface/hub";
    roots.lmStudioModels = {clean + "/.cache/lm-studio/models", clean + "/.lmstudio/models"};
    return roots;
}

StorageRoots StorageRoots::fromEnvironment()
{
    StorageRoots roots = forHome(homeFolder());
    if (auto cache = pathVariable("XDG_CACHE_HOME", roots.home))
        roots.cacheHome = *cache;

    if (auto ollama = pathVariable("OLLAMA_MODELS", roots.home))
        roots.ollamaModels = {*ollama};
    if (roots.ollamaModels.front() != systemOllamaModels && ::access(systemOllamaModels.c_str(), R_OK | X_OK) == 0)
        roots.ollamaModels.push_back(systemOllamaModels);

    if (auto hub = pathVariable("HF_HUB_CACHE", roots.home))
        roots.huggingFaceHub = *hub;
    else if (auto hfHome = pathVariable("HF_HOME", roots.home))
        roots.huggingFaceHub = *hfHome + "/hub";
    else
        roots.huggingFaceHub = roots.cacheHome + "/huggingface/hub";
    return roots;
}
