#include "AuditLogger.h"

#include "core/AppSupport.h"
#include "core/JsonFile.h"

#include "platform/io/Utf8.h"

#include <QDir>

#include <iostream>

AuditLogger& AuditLogger::shared()
{
    static AuditLogger logger;
    return logger;
}

AuditLogger::AuditLogger(const QString& folder)
    : m_folder(folder)
{
    // The log keeps every event; 16 MiB holds some 80,000 of them, more helper actions than years of
    // use bring. A larger file is set aside unread rather than held in memory whole.
    constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
    if (auto events = jsonfile::load<std::vector<AuditEvent>>(logFilePath(), kMaxFileBytes))
        m_events = std::move(*events);
}

AuditLogger::Callback AuditLogger::onNewEvent() const
{
    std::lock_guard lock(m_mutex);
    return m_onNewEvent;
}

void AuditLogger::setOnNewEvent(Callback callback)
{
    std::lock_guard lock(m_mutex);
    m_onNewEvent = std::move(callback);
}

void AuditLogger::log(const AuditEvent& given)
{
    // A process name that is not UTF-8 would make the whole log unwritable from then on.
    AuditEvent event = given;
    event.category = platform::toValidUtf8(event.category);
    event.actionDescription = platform::toValidUtf8(event.actionDescription);
    if (event.targetProcess)
        event.targetProcess = platform::toValidUtf8(*event.targetProcess);
    Callback callback;
    {
        std::lock_guard lock(m_mutex);
        m_events.insert(m_events.begin(), event);
        save();
        callback = m_onNewEvent;
    }
    if (callback)
        callback(event);
}

std::vector<AuditEvent> AuditLogger::fetchAllEvents() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

void AuditLogger::clearLog()
{
    std::lock_guard lock(m_mutex);
    m_events.clear();
    jsonfile::removeWithCopies(logFilePath());
}

QString AuditLogger::logFilePath() const
{
    const QString name = QStringLiteral("audit_log.json");
    if (m_folder.isEmpty())
        return appSupportFilePath(name);
    QDir().mkpath(m_folder);
    return m_folder + QLatin1Char('/') + name;
}

// Called with the mutex held.
void AuditLogger::save()
{
    QString error;
    if (!jsonfile::save(logFilePath(), m_events, &error))
        std::cout << "Failed to save audit log: " << error.toStdString() << std::endl;
}
