#include "ContainedPath.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <vector>

namespace platform {

namespace {

// The components of a clean relative path, in order.
std::vector<std::string> componentsOf(std::string_view rest)
{
    std::vector<std::string> parts;
    for (std::size_t i = 0; i <= rest.size();) {
        const std::size_t end = std::min(rest.find('/', i), rest.size());
        parts.emplace_back(rest.substr(i, end - i));
        i = end + 1;
    }
    return parts;
}

// Why `name` in the open folder could not be opened as a folder, the open having failed with `openError`.
ContainedPath::Status parentFailure(int folder, const std::string& name, int openError)
{
    using Status = ContainedPath::Status;
    struct stat st
    {
    };
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || openError == ENOENT ? Status::missing : Status::unreadable;
    if (S_ISLNK(st.st_mode))
        return Status::throughLink;
    return S_ISDIR(st.st_mode) ? Status::unreadable : Status::missing;
}

} // namespace

std::optional<std::string> ContainedPath::normalize(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return std::nullopt;
    std::string out;
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/')
            ++i;
        const std::size_t end = path.find('/', i);
        const std::string_view part = path.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        i = end == std::string_view::npos ? path.size() : end;
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return std::nullopt;
        out += '/';
        out += part;
    }
    return out.empty() ? std::string("/") : out;
}

bool ContainedPath::isBelow(std::string_view path, std::string_view root)
{
    if (root == "/")
        return path.size() > 1 && path.front() == '/';
    return path.size() > root.size() + 1 && path.substr(0, root.size()) == root && path[root.size()] == '/';
}

ContainedPath ContainedPath::open(std::string_view root, std::string_view path)
{
    ContainedPath result;
    const auto cleanRoot = normalize(root);
    const auto cleanPath = normalize(path);
    if (!cleanRoot || !cleanPath) {
        result.m_status = Status::outsideRoot;
        return result;
    }
    if (*cleanPath == *cleanRoot) {
        result.m_status = Status::isRoot;
        return result;
    }
    if (!isBelow(*cleanPath, *cleanRoot)) {
        result.m_status = Status::outsideRoot;
        return result;
    }

    UniqueFd current(::open(cleanRoot->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current) {
        result.m_status = errno == ENOENT || errno == ENOTDIR ? Status::missing : Status::unreadable;
        return result;
    }

    const std::vector<std::string> parts
        = componentsOf(std::string_view(*cleanPath).substr(cleanRoot->size() == 1 ? 1 : cleanRoot->size() + 1));
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
        const int fd = ::openat(current.get(), parts[k].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            result.m_status = parentFailure(current.get(), parts[k], errno);
            return result;
        }
        current.reset(fd);
    }

    struct stat st
    {
    };
    if (::fstatat(current.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        result.m_status = errno == ENOENT || errno == ENOTDIR ? Status::missing : Status::unreadable;
        return result;
    }
    result.m_status = Status::ok;
    result.m_parent = std::move(current);
    result.m_name = parts.back();
    result.m_info = st;
    return result;
}

UniqueFd ContainedPath::openDirectory() const
{
    if (!isDirectory())
        return {};
    UniqueFd fd(::openat(m_parent.get(), m_name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return {};
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0 || st.st_dev != m_info.st_dev || st.st_ino != m_info.st_ino)
        return {};
    return fd;
}

} // namespace platform
