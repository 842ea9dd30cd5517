#include "AuditEventText.h"

#include <QCoreApplication>

namespace AuditEventText {

QString action(const AuditEvent& event)
{
    QString text = QString::fromStdString(event.actionDescription);
    QString target;
    if (event.targetProcess && !event.targetProcess->empty())
        target = QString::fromStdString(*event.targetProcess);
    if (event.targetPid)
        target
            += (target.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("(PID %1)").arg(*event.targetPid);
    if (target.isEmpty() || text.contains(target))
        return text;
    // "Suspended process failed: <reason>" names its process before the reason.
    const qsizetype failed = text.indexOf(QLatin1String(" failed: "));
    if (failed >= 0)
        return text.left(failed) + QLatin1Char(' ') + target + text.mid(failed);
    return text + QLatin1Char(' ') + target;
}

QString category(const QString& raw)
{
    if (raw == QLatin1String("Spotlight"))
        return QCoreApplication::translate("AuditEventText", "File indexing");
    return raw;
}

} // namespace AuditEventText
