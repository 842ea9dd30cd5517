#pragma once

#include "AuditEvent.h"

#include <QString>

#include <functional>
#include <mutex>
#include <vector>

// The application's own audit log, newest first and without a size limit, kept in "audit_log.json".
// Safe from any thread. A failed save prints "Failed to save audit log: <error>" and keeps the list.
class AuditLogger
{
public:
    using Callback = std::function<void(const AuditEvent&)>;

    static AuditLogger& shared();

    // Keeps its file in folder, or in the application-support folder when folder is empty.
    explicit AuditLogger(const QString& folder = {});

    AuditLogger(const AuditLogger&) = delete;
    AuditLogger& operator=(const AuditLogger&) = delete;

    Callback onNewEvent() const;
    // Replaces any earlier callback.
    void setOnNewEvent(Callback callback);

    // Stores and saves the event, then calls the callback (if any) on the caller's thread with the
    // logger unlocked, so the callback may use the logger again. Text that is not UTF-8 is stored (and
    // handed to the callback) with replacement characters.
    void log(const AuditEvent& event);
    std::vector<AuditEvent> fetchAllEvents() const;
    // Empties the list and deletes the file and its set-aside copies; a missing file is no error. The next
    // event logged writes the file again.
    void clearLog();

private:
    QString logFilePath() const;
    void save();

    const QString m_folder;
    mutable std::mutex m_mutex;
    Callback m_onNewEvent;
    std::vector<AuditEvent> m_events;
};
