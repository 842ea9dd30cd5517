#include "DashboardHistory.h"

#include "core/NumberFormat.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

template<typename T> QList<T> shifted(QList<T> history, T value)
{
    if (!history.isEmpty())
        history.removeFirst();
    history.append(value);
    return history;
}

} // namespace

DashboardHistory DashboardHistory::next(
    double cpuUsage, bool cpuIsMeasured, const std::optional<SystemMemoryState>& memoryState) const
{
    double memoryShare = 0;
    double aiMemoryShare = 0;
    if (memoryState && memoryState->totalGB > 0) {
        memoryShare = (memoryState->systemUsedGB + memoryState->aiModelsGB) * 100.0 / memoryState->totalGB;
        aiMemoryShare = memoryState->aiModelsGB * 100.0 / memoryState->totalGB;
    }
    DashboardHistory next = *this;
    next.cpu = shifted(cpu, cpuUsage);
    next.cpuMeasured = shifted(cpuMeasured, cpuIsMeasured);
    next.memory = shifted(memory, memoryShare);
    next.aiMemory = shifted(aiMemory, aiMemoryShare);
    return next;
}

QList<double> DashboardHistory::measuredCpu() const
{
    QList<double> history = cpu;
    for (qsizetype i = 0; i < history.size(); ++i) {
        if (i >= cpuMeasured.size() || !cpuMeasured[i])
            history[i] = std::numeric_limits<double>::quiet_NaN();
    }
    return history;
}

std::optional<QString> DashboardHistory::exportCSV() const
{
    // tempPath() is empty when $TMPDIR names a missing folder; the file must not land in the working folder.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty()) {
        std::printf("Failed to write CSV: no temporary folder\n");
        std::fflush(stdout);
        return std::nullopt;
    }
    return exportCSV(QDir(folder).filePath(fileName(Date::now())));
}

QString DashboardHistory::fileName(Date now)
{
    return QString::fromStdString("Quorvane_History_" + shortestDecimal(now.timeIntervalSince1970()) + ".csv");
}

std::optional<QString> DashboardHistory::exportCSV(const QString& path) const
{
    const Date now = Date::now();
    std::string text = "Timestamp,CPUUsage%\n";
    const qsizetype n = cpu.size();
    for (qsizetype i = 0; i < n; ++i) {
        const double at = now.timeIntervalSince1970() + static_cast<double>(i - n);
        const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(at * 1000.0)), Qt::UTC);
        text += stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString() + " +0000,"
            + shortestDecimal(cpu[i]) + "\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())
        || !file.commit()) {
        std::printf("Failed to write CSV: %s\n", file.errorString().toLocal8Bit().constData());
        std::fflush(stdout);
        return std::nullopt;
    }
    return path;
}
