#include "SuspendedProcessFile.h"

#include "core/JsonFile.h"

#include "platform/io/ProcFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

struct StoredList
{
    std::string bootId;
    std::vector<SuspendedProcessFile::Entry> processes;
    bool indexerPaused = false;
};

void to_json(Json& j, const StoredList& list)
{
    j = Json {{"bootId", list.bootId}, {"processes", list.processes}};
    if (list.indexerPaused)
        j["indexerPaused"] = true;
}

void from_json(const Json& j, StoredList& list)
{
    list.bootId = jsoncodec::require<std::string>(j, "bootId");
    list.processes = jsoncodec::require<std::vector<SuspendedProcessFile::Entry>>(j, "processes");
    list.indexerPaused = jsoncodec::optional<bool>(j, "indexerPaused").value_or(false);
}

} // namespace

void to_json(Json& j, const SuspendedProcessFile::Entry& e)
{
    j = Json {{"process", e.process}, {"startTimeTicks", e.startTimeTicks}};
}

void from_json(const Json& j, SuspendedProcessFile::Entry& e)
{
    e.process = jsoncodec::require<FrozenProcess>(j, "process");
    e.startTimeTicks = jsoncodec::require<std::uint64_t>(j, "startTimeTicks");
}

SuspendedProcessFile::SuspendedProcessFile(QString path, std::string bootIdPath)
    : m_path(std::move(path))
    , m_bootIdPath(std::move(bootIdPath))
{
}

std::string SuspendedProcessFile::bootId() const
{
    return std::string(platform::procfiles::readTrimmed(m_bootIdPath));
}

SuspendedProcessFile::Contents SuspendedProcessFile::read() const
{
    auto stored = jsonfile::load<StoredList>(m_path);
    if (!stored || stored->bootId != bootId())
        return {};
    return {std::move(stored->processes), stored->indexerPaused};
}

bool SuspendedProcessFile::save(const std::vector<Entry>& entries, bool indexerPaused) const
{
    // Nothing held suspended: no file, rather than an empty list that outlives every erasure.
    if (entries.empty() && !indexerPaused) {
        const QFileInfo info(m_path);
        if (!info.exists() && !info.isSymLink())
            return true;
        return QFile::remove(m_path);
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return jsonfile::save(m_path, StoredList {bootId(), entries, indexerPaused});
}
