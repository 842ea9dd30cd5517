#pragma once

#include "core/JsonCodec.h"
#include "records/FrozenProcess.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// The processes the persona engine has suspended, and the file indexer it paused, kept on disk so
// that a program that was killed can resume them at its next start. Each entry carries the process's start time (clock
// ticks after boot) and the file the boot's id, so a pid that now belongs to another process is never taken for the one
// that was suspended.
class SuspendedProcessFile
{
public:
    struct Entry
    {
        FrozenProcess process;
        std::uint64_t startTimeTicks = 0;

        bool operator==(const Entry&) const = default;
    };

    // What the file holds: the suspended processes, and whether the file indexer was paused too.
    struct Contents
    {
        std::vector<Entry> processes;
        bool indexerPaused = false;
    };

    // bootIdPath: the kernel's id of this boot (/proc/sys/kernel/random/boot_id).
    SuspendedProcessFile(QString path, std::string bootIdPath);

    // What was written during this boot. A missing file, one of an earlier boot or one that is empty
    // gives nothing; a file that does not decode is set aside under another name and gives nothing.
    Contents read() const;
    std::vector<Entry> load() const { return read().processes; }
    // Replaces the file atomically, or removes it when no process is left and the indexer is not paused;
    // false when it could not be written or removed. The indexer's pause is an added member that earlier
    // versions pass over, written only while the indexer is paused.
    bool save(const std::vector<Entry>& entries, bool indexerPaused = false) const;

    const QString& path() const { return m_path; }

private:
    std::string bootId() const;

    QString m_path;
    std::string m_bootIdPath;
};

void to_json(Json& j, const SuspendedProcessFile::Entry& e);
void from_json(const Json& j, SuspendedProcessFile::Entry& e);
