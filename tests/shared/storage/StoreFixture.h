#pragma once

#include "storage/StorageRoots.h"

#include "core/Date.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Model stores and caches written into a temporary home, with a fixed "now".
class StoreFixture
{
public:
    StoreFixture()
        : home(m_dir.path().toStdString() + "/home")
        , roots(StorageRoots::forHome(home))
        , now(Date::from1970(std::floor(Date::now().timeIntervalSince1970())))
    {
        std::filesystem::create_directories(home);
    }

    std::string path(const std::string& relative) const { return home + "/" + relative; }
    std::string ollama(const std::string& relative) const { return path(".ollama/models/" + relative); }
    std::string hub(const std::string& relative) const { return path(".cache/huggingface/hub/" + relative); }

    // A file of `bytes` bytes that takes no disk space.
    void file(const std::string& full, std::size_t bytes)
    {
        text(full, "");
        std::filesystem::resize_file(full, bytes);
    }
    void text(const std::string& full, const std::string& contents)
    {
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary) << contents;
    }
    void link(const std::string& target, const std::string& full)
    {
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::filesystem::create_symlink(target, full);
    }
    // What the files below a folder take, as du --apparent-size counts them: every regular file once,
    // however many hard links it has there.
    static std::int64_t diskBytes(const std::string& root)
    {
        std::set<std::pair<dev_t, ino_t>> seen;
        std::int64_t total = 0;
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(root, error);
             it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            struct stat st
            {
            };
            if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode)
                && seen.emplace(st.st_dev, st.st_ino).second)
                total += st.st_size;
        }
        return total;
    }
    static bool exists(const std::string& full)
    {
        struct stat st
        {
        };
        return ::lstat(full.c_str(), &st) == 0;
    }
    // Sets both times of an entry to `secondsAgo` before now (each may be given separately).
    void age(const std::string& full, double modifiedAgo, double accessedAgo = -1)
    {
        if (accessedAgo < 0)
            accessedAgo = modifiedAgo;
        const auto stamp = [this](double ago) {
            const double s = now.timeIntervalSince1970() - ago;
            return timespec {static_cast<time_t>(s), static_cast<long>((s - static_cast<time_t>(s)) * 1e9)};
        };
        const timespec both[2] = {stamp(accessedAgo), stamp(modifiedAgo)};
        ::utimensat(AT_FDCWD, full.c_str(), both, AT_SYMLINK_NOFOLLOW);
    }

    static std::string digest(int n)
    {
        char word[9];
        std::snprintf(word, sizeof word, "%08x", static_cast<unsigned>(n));
        std::string hex;
        for (int i = 0; i < 8; ++i)
            hex += word;
        return "sha256:" + hex;
    }
    static std::string blobName(int n)
    {
        std::string d = digest(n);
        d[6] = '-';
        return d;
    }

    // An Ollama model (manifests/<relative>) whose layers are the given blob numbers and sizes, with
    // the config blob `config` (of 7 bytes, shared by default); blob files are written (two hours old)
    // unless they exist. Returns the manifest path.
    std::string ollamaModel(const std::string& relative, const std::vector<std::pair<int, std::int64_t>>& layers,
        const std::string& store = "", int config = 1000)
    {
        const std::string base = store.empty() ? ollama("") : store + "/";
        std::string json = R"({"schemaVersion":2,"config":{"digest":")" + digest(config) + R"(","size":7},"layers":[)";
        writeBlob(base, config, 7);
        for (std::size_t i = 0; i < layers.size(); ++i) {
            const auto [n, size] = layers[i];
            json += (i ? "," : "") + std::string(R"({"mediaType":"application/vnd.ollama.image.model","digest":")")
                + digest(n) + R"(","size":)" + std::to_string(size) + "}";
            writeBlob(base, n, size);
        }
        json += "]}";
        const std::string manifest = base + "manifests/" + relative;
        text(manifest, json);
        return manifest;
    }
    void writeBlob(const std::string& base, int n, std::int64_t size)
    {
        const std::string blob = base + "blobs/" + blobName(n);
        if (!exists(blob)) {
            file(blob, static_cast<std::size_t>(size));
            age(blob, 7200);
        }
    }

private:
    QTemporaryDir m_dir;

public:
    const std::string home;
    StorageRoots roots;
    const Date now;
};

// The names of listed items (models or caches), in list order.
template<class Item> std::vector<std::string> names(const std::vector<Item>& items)
{
    std::vector<std::string> out;
    for (const auto& item : items)
        out.push_back(item.name);
    return out;
}
