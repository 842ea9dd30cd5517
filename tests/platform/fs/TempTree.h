#pragma once

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

// A folder tree in a temporary folder, written by the tests; paths are relative to its root.
class TempTree
{
public:
    std::string root() const { return m_dir.path().toStdString(); }
    std::string path(const std::string& relative) const { return root() + "/" + relative; }

    void file(const std::string& relative, std::size_t bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        std::ofstream(path(relative), std::ios::binary) << std::string(bytes, 'x');
    }
    void folder(const std::string& relative) { std::filesystem::create_directories(path(relative)); }
    void link(const std::string& target, const std::string& relative)
    {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        std::filesystem::create_symlink(target, path(relative));
    }
    bool exists(const std::string& relative) const
    {
        struct stat st
        {
        };
        return ::lstat(path(relative).c_str(), &st) == 0;
    }
    // Access and modification times in seconds since 1970, set on the entry itself.
    void times(const std::string& relative, double accessed, double modified)
    {
        const auto stamp = [](double s) {
            return timespec {static_cast<time_t>(s), static_cast<long>((s - static_cast<time_t>(s)) * 1e9)};
        };
        const timespec both[2] = {stamp(accessed), stamp(modified)};
        ::utimensat(AT_FDCWD, path(relative).c_str(), both, AT_SYMLINK_NOFOLLOW);
    }

private:
    QTemporaryDir m_dir;
};
