#include "PrivacyExports.h"

#include <QDateTime>
#include <QSaveFile>

#include <cmath>

namespace PrivacyExports {

Date dateOf(const QDateTime& moment)
{
    return Date::from1970(static_cast<double>(moment.toMSecsSinceEpoch()) / 1000.0);
}

QString dateText(Date date)
{
    const auto ms = static_cast<qint64>(std::floor(date.timeIntervalSince1970() * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        + QStringLiteral(" +0000");
}

QString fileName(const QString& kind, const QString& extension, Date now)
{
    const auto seconds = static_cast<long long>(std::trunc(now.timeIntervalSince1970()));
    return QStringLiteral("Quorvane_%1_%2.%3").arg(kind).arg(seconds).arg(extension);
}

QByteArray auditLogJson(const std::vector<AuditEvent>& events)
{
    OrderedJson array = OrderedJson::array();
    for (const auto& e : events) {
        OrderedJson item;
        item["id"] = e.id.toString();
        item["timestamp"] = e.timestamp.timeIntervalSinceReferenceDate();
        item["category"] = e.category;
        item["actionDescription"] = e.actionDescription;
        if (e.targetProcess)
            item["targetProcess"] = *e.targetProcess;
        if (e.targetPid)
            item["targetPid"] = *e.targetPid;
        item["success"] = e.success;
        array.push_back(std::move(item));
    }
    return QByteArray::fromStdString(array.dump(-1, ' ', false, OrderedJson::error_handler_t::replace));
}

namespace {

QByteArray csvField(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

} // namespace

QByteArray auditLogCsv(const std::vector<AuditEvent>& events)
{
    QByteArray out = "Timestamp,Category,Action,Success\n";
    for (const auto& e : events) {
        out += csvField(dateText(e.timestamp)) + ',' + csvField(QString::fromStdString(e.category)) + ','
            + csvField(QString::fromStdString(e.actionDescription)) + ',' + (e.success ? "true" : "false") + '\n';
    }
    return out;
}

QByteArray fullDataExport(
    Date now, const PrivacyMetricsEngine::DataInventory& inventory, const std::vector<AuditEvent>& events)
{
    OrderedJson log = OrderedJson::array();
    for (const auto& e : events) {
        log.push_back(OrderedJson {{"timestamp", dateText(e.timestamp).toStdString()}, {"category", e.category},
            {"action", e.actionDescription}, {"success", e.success}});
    }
    const OrderedJson root {{"exportDate", dateText(now).toStdString()},
        {"inventory", {{"auditLogEntries", inventory.auditLogEntries}, {"totalSizeBytes", inventory.totalSizeBytes()}}},
        {"auditLog", std::move(log)}};
    return QByteArray::fromStdString(root.dump(2, ' ', false, OrderedJson::error_handler_t::replace));
}

QString writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace PrivacyExports
