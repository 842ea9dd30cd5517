#include "TreeSizer.h"

#include "EntryInfo.h"
#include "TreeWalk.h"
#include "platform/io/DirectoryEntries.h"
#include "platform/io/FileTimes.h"
#include "platform/io/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
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

// A folder kept open for its pending subfolders; counted, so that their number stays bounded.
struct HeldFolder
{
    HeldFolder(UniqueFd folder, std::atomic<int>& held)
        : fd(std::move(folder))
        , count(held)
    {
        ++count;
    }
    ~HeldFolder() { --count; }
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    UniqueFd fd;
    std::atomic<int>& count;
};

// A folder still to be read: its name inside an open parent. Holding the parent open (shared by
// its pending children) rather than a path means nothing is resolved twice, so a folder swapped
// for a link meanwhile is refused by O_NOFOLLOW instead of followed. Pending work is taken
// newest first, which keeps the number of open parents near the depth of the tree; past a bound
// the rest of a subtree is measured by one thread with a walk that holds few descriptors.
struct Task
{
    std::shared_ptr<HeldFolder> parent;
    std::string name;
};

constexpr int kMaxHeldFolders = 256;

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
        const auto root = EntryInfo::of(rootFd);
        UniqueFd copy(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
        if (!root || !copy) {
            TreeSize failed;
            failed.complete = false;
            failed.problem = std::string("cannot open the folder: ") + std::strerror(errno);
            return failed;
        }
        m_root = *root;
        m_stack.push_back({std::make_shared<HeldFolder>(std::move(copy), m_held), std::string()});
        work();
        for (auto& t : m_threads)
            t.join();
        if (m_options.collectFiles) {
            for (auto& [id, file] : m_seenFiles)
                m_total.sizedFiles.push_back(file);
        }
        return m_total;
    }

    // Adds one entry below the folder that is not a folder itself.
    void addEntry(const struct stat& st, TreeSize& local)
    {
        if (m_options.collectTimes)
            local.newestModification = std::max(local.newestModification, seconds(st.st_mtim));
        if (S_ISREG(st.st_mode)) {
            if ((st.st_nlink > 1 || m_options.collectFiles) && !firstSighting(st))
                return;
            local.bytes += st.st_size;
            ++local.files;
            if (m_options.collectTimes)
                local.newestFileAccess = std::max(local.newestFileAccess, seconds(st.st_atim));
        } else if (S_ISLNK(st.st_mode) && m_options.countLinks) {
            local.bytes += st.st_size;
        }
    }

    void fail(TreeSize& local, const std::string& problem)
    {
        local.complete = false;
        if (local.problem.empty())
            local.problem = problem;
    }

private:
    class SerialVisitor : public TreeWalk::Visitor
    {
    public:
        SerialVisitor(Walk& walk, TreeSize& local)
            : m_walk(walk)
            , m_local(local)
        {
        }
        void entry(int, const std::string&, const EntryInfo& info) override { m_walk.addEntry(info.st, m_local); }
        bool enter(int, const std::string&, const EntryInfo& info) override
        {
            if (m_walk.m_options.collectTimes)
                m_local.newestModification = std::max(m_local.newestModification, seconds(info.st.st_mtim));
            return true;
        }

    private:
        Walk& m_walk;
        TreeSize& m_local;
    };

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
        if (!local.complete)
            fail(m_total, local.problem);
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

    // Opens a folder named in an open parent; empty when it is gone, a link, or on another mount.
    UniqueFd openFolder(int parentFd, const std::string& name, TreeSize& local)
    {
        const char* path = name.empty() ? "." : name.c_str();
        // O_NOATIME keeps the walk from marking folders as used; only owners may ask for it.
        int fd = ::openat(parentFd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOATIME);
        if (fd < 0 && errno == EPERM)
            fd = ::openat(parentFd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        UniqueFd folder(fd);
        if (!folder) {
            // A folder removed or swapped for a link since it was listed is simply no longer there.
            if (errno != ENOENT && errno != ELOOP && errno != ENOTDIR)
                fail(local, "cannot open " + name + ": " + std::strerror(errno));
            return folder;
        }
        const auto info = EntryInfo::of(folder.get());
        if (!name.empty() && (!info || !info->onMountOf(m_root)))
            folder.reset();
        return folder;
    }

    void measureSerially(int parentFd, const std::string& name, TreeSize& local)
    {
        const UniqueFd folder = openFolder(parentFd, name, local);
        if (!folder)
            return;
        TreeWalk::Options options;
        options.maxOpen = 8;
        options.noAccessTime = true;
        TreeWalk walk(options);
        SerialVisitor visitor(*this, local);
        walk.walk(folder.get(), visitor);
        if (!walk.complete())
            fail(local, name + "/" + walk.problem());
    }

    void readFolder(const Task& task, TreeSize& local, std::vector<Task>& found)
    {
        UniqueFd folder = openFolder(task.parent->fd.get(), task.name, local);
        if (!folder)
            return;
        std::shared_ptr<HeldFolder> shared;
        const int fd = folder.get();
        const bool read = DirectoryEntries::forEach(fd, [&](std::string_view name, unsigned char type) {
            const bool needStat = type != DT_DIR || m_options.collectTimes;
            std::optional<EntryInfo> info;
            if (needStat) {
                info = EntryInfo::at(fd, std::string(name).c_str());
                // What is mounted below the folder is not part of it.
                if (!info || !info->onMountOf(m_root))
                    return;
                type = IFTODT(info->st.st_mode);
            }
            if (type != DT_DIR) {
                addEntry(info->st, local);
                return;
            }
            if (m_options.collectTimes)
                local.newestModification = std::max(local.newestModification, seconds(info->st.st_mtim));
            if (!shared && m_held.load() >= kMaxHeldFolders) {
                measureSerially(fd, std::string(name), local);
                return;
            }
            if (!shared)
                shared = std::make_shared<HeldFolder>(std::move(folder), m_held);
            found.push_back({shared, std::string(name)});
        });
        if (!read)
            fail(local, "cannot list " + (task.name.empty() ? std::string(".") : task.name));
    }

    bool firstSighting(const struct stat& st)
    {
        std::lock_guard guard(m_filesMutex);
        auto [it, first] = m_seenFiles.try_emplace(FileId {st.st_dev, st.st_ino});
        SizedFile& file = it->second;
        if (first)
            file = {st.st_dev, st.st_ino, st.st_size, st.st_nlink, 0};
        ++file.namesFound;
        return first;
    }

    const TreeSizer::Options m_options;
    unsigned m_maxThreads;
    EntryInfo m_root;
    std::atomic<int> m_held {0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Task> m_stack;
    std::vector<std::thread> m_threads;
    int m_busy = 0;
    TreeSize m_total;
    std::mutex m_filesMutex; // guards m_seenFiles
    std::unordered_map<FileId, SizedFile, FileIdHash> m_seenFiles; // files with several names, or all asked for
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
