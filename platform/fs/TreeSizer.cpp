#include "TreeSizer.h"

#include "platform/io/DirectoryEntries.h"
#include "platform/io/FileTimes.h"
#include "platform/io/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

namespace platform {
namespace {

struct FileId
{
    dev_t dev;
    ino_t ino;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash
{
    std::size_t operator()(const FileId& id) const noexcept
    {
        return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(id.ino) * 1000003u ^ id.dev);
    }
};

// A folder still to be read: its name inside an open parent. Holding the parent open (shared by
// its pending children) rather than a path means nothing is resolved twice, so a folder swapped
// for a link meanwhile is refused by O_NOFOLLOW instead of followed. Pending work is taken
// newest first, which keeps the number of open parents near the depth of the tree.
struct Task
{
    std::shared_ptr<UniqueFd> parent;
    std::string name;
};

class Walk
{
public:
    Walk(const TreeSizer::Options& options, unsigned maxThreads)
        : m_options(options)
        , m_maxThreads(maxThreads)
    {
    }

    TreeSize run(int rootFd)
    {
        auto root = std::make_shared<UniqueFd>(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
        if (!root->valid()) {
            TreeSize failed;
            failed.complete = false;
            return failed;
        }
        m_stack.push_back({std::move(root), std::string()});
        work();
        for (auto& t : m_threads)
            t.join();
        return m_total;
    }

private:
    void work()
    {
        TreeSize local;
        std::vector<Task> found;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return !m_stack.empty() || m_busy == 0; });
            if (m_stack.empty())
                break;
            Task task = std::move(m_stack.back());
            m_stack.pop_back();
            ++m_busy;
            lock.unlock();

            readFolder(task, local, found);
            task.parent.reset();

            lock.lock();
            --m_busy;
            for (auto& f : found)
                m_stack.push_back(std::move(f));
            const bool grew = !found.empty();
            found.clear();
            if (grew && m_stack.size() > 1 && m_threads.size() + 1 < m_maxThreads)
                addThread();
            if (grew || m_busy == 0)
                m_wake.notify_all();
        }
        m_total.bytes += local.bytes;
        m_total.files += local.files;
        m_total.newestModification = std::max(m_total.newestModification, local.newestModification);
        m_total.newestFileAccess = std::max(m_total.newestFileAccess, local.newestFileAccess);
        m_total.complete = m_total.complete && local.complete;
    }

    // Called with m_mutex held. Without another thread the walk simply goes on with fewer.
    void addThread()
    {
        try {
            m_threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            m_maxThreads = static_cast<unsigned>(m_threads.size()) + 1;
        }
    }

    UniqueFd openFolder(const Task& task)
    {
        const char* name = task.name.empty() ? "." : task.name.c_str();
        // O_NOATIME keeps the walk from marking folders as used; only owners may ask for it.
        int fd = ::openat(task.parent->get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOATIME);
        if (fd < 0 && errno == EPERM)
            fd = ::openat(task.parent->get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        return UniqueFd(fd);
    }

    void readFolder(const Task& task, TreeSize& local, std::vector<Task>& found)
    {
        UniqueFd folder = openFolder(task);
        if (!folder) {
            // A folder removed or swapped for a link since it was listed is simply no longer there.
            if (errno != ENOENT && errno != ELOOP && errno != ENOTDIR)
                local.complete = false;
            return;
        }
        std::shared_ptr<UniqueFd> shared;
        const int fd = folder.get();
        const bool read = DirectoryEntries::forEach(fd, [&](std::string_view name, unsigned char type) {
            const bool needStat = type == DT_REG || type == DT_UNKNOWN || (type == DT_LNK && m_options.countLinks)
                || m_options.collectTimes;
            struct stat st
            {
            };
            if (needStat) {
                if (::fstatat(fd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                    return;
                if (m_options.collectTimes)
                    local.newestModification = std::max(local.newestModification, seconds(st.st_mtim));
                type = IFTODT(st.st_mode);
            }
            if (type == DT_DIR) {
                if (!shared)
                    shared = std::make_shared<UniqueFd>(std::move(folder));
                found.push_back({shared, std::string(name)});
            } else if (type == DT_REG) {
                if (st.st_nlink > 1 && !firstSighting({st.st_dev, st.st_ino}))
                    return;
                local.bytes += st.st_size;
                ++local.files;
                if (m_options.collectTimes)
                    local.newestFileAccess = std::max(local.newestFileAccess, seconds(st.st_atim));
            } else if (type == DT_LNK && m_options.countLinks) {
                local.bytes += st.st_size;
            }
        });
        if (!read)
            local.complete = false;
    }

    bool firstSighting(FileId id)
    {
        std::lock_guard guard(m_linksMutex);
        return m_seenLinks.insert(id).second;
    }

    const TreeSizer::Options m_options;
    unsigned m_maxThreads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Task> m_stack;
    std::vector<std::thread> m_threads;
    int m_busy = 0;
    TreeSize m_total;
    std::mutex m_linksMutex;
    std::unordered_set<FileId, FileIdHash> m_seenLinks;
};

} // namespace

TreeSizer::TreeSizer()
    : TreeSizer(Options())
{
}

TreeSizer::TreeSizer(Options options)
    : m_options(options)
{
}

std::optional<TreeSize> TreeSizer::measure(int dirFd) const
{
    struct stat st
    {
    };
    if (dirFd < 0 || ::fstat(dirFd, &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    unsigned threads = m_options.maxThreads;
    if (threads == 0)
        threads = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
    Walk walk(m_options, threads);
    return walk.run(dirFd);
}

std::optional<TreeSize> TreeSizer::measure(const std::string& path) const
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    return measure(fd.get());
}

} // namespace platform
