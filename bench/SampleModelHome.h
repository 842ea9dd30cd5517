#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

// A home folder for the storage benchmarks: 200 models (100 Ollama, 50 Hugging Face, 50 LM Studio) and a
// uv cache of `cacheFolders` folders of 40 files each.
namespace samplehome {

inline void touch(const std::string& file, off_t size)
{
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        (void)::ftruncate(fd, size);
        ::close(fd);
    }
}

inline void build(const std::string& home, int cacheFolders)
{
    for (int i = 0; i < 100; ++i) {
        char digest[80];
        std::snprintf(digest, sizeof digest, "sha256:%064x", i + 1);
        std::string blob(digest);
        blob[6] = '-';
        touch(home + "/.ollama/models/blobs/" + blob, 1 << 20);
        const std::string manifest
            = home + "/.ollama/models/manifests/registry.ollama.ai/library/m" + std::to_string(i);
        std::filesystem::create_directories(manifest);
        std::ofstream(manifest + "/latest")
            << R"({"schemaVersion":2,"layers":[{"digest":")" << digest << R"(","size":1048576}]})";
    }
    for (int i = 0; i < 50; ++i) {
        const std::string model = home + "/.cache/huggingface/hub/models--org--model" + std::to_string(i);
        for (int f = 0; f < 8; ++f)
            touch(model + "/blobs/b" + std::to_string(f), 4096);
        touch(home + "/.lmstudio/models/pub/m" + std::to_string(i) + "/m" + std::to_string(i) + ".gguf", 1 << 20);
    }
    for (int d = 0; d < cacheFolders; ++d)
        for (int f = 0; f < 40; ++f)
            touch(home + "/.cache/uv/g" + std::to_string(d / 100) + "/f" + std::to_string(d) + "/" + std::to_string(f),
                (d * 40 + f) % 4096);
}

} // namespace samplehome
