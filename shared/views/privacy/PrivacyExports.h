#pragma once

#include "records/AuditEvent.h"
#include "records/PrivacyMetricsEngine.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

// The files the privacy pages export: the audit log as JSON or CSV and the full data export.
namespace PrivacyExports {

Date dateOf(const QDateTime& moment);
// "yyyy-MM-dd HH:mm:ss +0000", in UTC.
QString dateText(Date date);
// "Quorvane_<kind>_<whole seconds since 1970>.<extension>".
QString fileName(const QString& kind, const QString& extension, Date now);

// A compact array; each event's keys in the order id, timestamp, category, actionDescription,
// targetProcess and targetPid (only when present), success.
QByteArray auditLogJson(const std::vector<AuditEvent>& events);
// "Timestamp,Category,Action,Success" and one line per event, LF line ends; text fields quoted with
// inner quotes doubled, so commas, quotes and line breaks in them survive a spreadsheet.
QByteArray auditLogCsv(const std::vector<AuditEvent>& events);
// The export date, the audit-log size and total storage, and every audit event, pretty-printed.
QByteArray fullDataExport(
    Date now, const PrivacyMetricsEngine::DataInventory& inventory, const std::vector<AuditEvent>& events);

// Writes the whole file or nothing (temporary file and rename). An empty text on success, else why not.
QString writeAtomically(const QString& path, const QByteArray& bytes);

} // namespace PrivacyExports
