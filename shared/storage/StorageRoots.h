#pragma once

#include <string>
#include <vector>

// Where the model stores and the developer caches live. Every engine of the storage view takes
// one; by default it is read from the environment, and tests build one for a temporary home.
struct StorageRoots
{
    std::string home;
    std::string cacheHome; // $XDG_CACHE_HOME, else home/.cache
    // Ollama stores (each holding "manifests" and "blobs"): the user's own, then the system
    // service's when this user can read it.
    std::vector<std::string> ollamaModels;
    std::string huggingFaceHub;
    std::vector<std::string> lmStudioModels; // in the order they are scanned

    static inline const std::string systemOllamaModels = "/usr/share/ollama/.ollama/models";

    // $HOME (else the password database), $OLLAMA_MODELS, $HF_HUB_CACHE, $HF_HOME and
    // $XDG_CACHE_HOME, each used only when it is an absolute path.
    static StorageRoots fromEnvironment();
    // The default locations below home, with no variable set and no system store.
    static StorageRoots forHome(const std::string& home);
};
