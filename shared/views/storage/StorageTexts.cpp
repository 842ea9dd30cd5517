#include "StorageTexts.h"

#include "storage/ModelInventoryViewModel.h"

#include "core/NumberFormat.h"
#include "core/Units.h"

#include "platform/text/NamesList.h"

#include <QCoreApplication>

#include <cmath>

namespace StorageTexts {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ModelInventoryView", text);
}

// A size with its unit, in megabytes or less where a gigabyte figure would read "0.0".
QString size(double gigabytes, SizeUnit unit = SizeUnit::spaced)
{
    return QString::fromStdString(gigabyteSizeText(gigabytes, unit));
}

constexpr std::size_t kNamesShown = 3;

} // namespace

QString modelsTabLabel(double totalStorageGB)
{
    return tr("AI Models (") + size(totalStorageGB, SizeUnit::letter) + QStringLiteral(")");
}

QString cachesTabLabel(double totalDeveloperCachesGB)
{
    return tr("Dev Caches (") + size(totalDeveloperCachesGB, SizeUnit::letter) + QStringLiteral(")");
}

QString headerTotal(double totalGB)
{
    return totalGB > 0 ? QStringLiteral("(") + size(totalGB) + QStringLiteral(")") : QString();
}

StorageMessage modelsDeleted(const ModelDeletionResult& result)
{
    StorageMessage m;
    m.text = tr("Freed ") + size(result.totalReclaimedGB()) + QStringLiteral(" (")
        + QString::number(result.deletedCount) + (result.deletedCount == 1 ? tr(" model") : tr(" models"))
        + tr(" deleted)");
    if (!result.failedModelNames.empty()) {
        m.failure = QStringLiteral(" — ") + QString::number(result.failedModelNames.size()) + tr(" failed: ")
            + QString::fromStdString(platform::namesList(result.failedModelNames, kNamesShown));
        m.succeeded = false;
    }
    return m;
}

StorageMessage safeCachesPurged(const DeveloperCacheEngine::SafePurge& purge)
{
    StorageMessage m;
    m.text = tr("Freed ") + size(gigabytes(purge.reclaimedBytes)) + tr(" in developer caches");
    std::vector<std::string> failed;
    for (const auto& [name, why] : purge.failures)
        failed.push_back(name);
    if (!failed.empty())
        m.failure += tr(" — could not clean ") + QString::fromStdString(platform::namesList(failed, kNamesShown));
    if (!purge.incompleteNames.empty())
        m.failure
            += tr(" — partly left: ") + QString::fromStdString(platform::namesList(purge.incompleteNames, kNamesShown));
    m.succeeded = m.failure.isEmpty();
    return m;
}

StorageMessage cachePurged(
    const DeveloperCacheItem& item, const DeveloperCacheEngine::PurgeResult& result, bool confirmed)
{
    const QString name = QString::fromStdString(item.name);
    if (!result.ok())
        return {tr("Could not purge ") + name, QStringLiteral(": ") + QString::fromStdString(*result.error), false};
    const QString freed = size(gigabytes(result.freedBytes));
    // A purge that left part of the folder says so, and what stayed.
    const QString verb = result.incomplete ? tr("Partly purged ") : tr("Purged ");
    const QString left
        = result.incomplete ? QStringLiteral(" — ") + QString::fromStdString(*result.incomplete) : QString();
    if (confirmed)
        return {verb + name + QStringLiteral(" (") + freed + tr(" freed)"), left, left.isEmpty()};
    return {verb + name + tr(" (Freed ") + freed + QStringLiteral(")"), left, left.isEmpty()};
}

QString deletionQuestion(const std::vector<InventoryModel>& models, const StorageFootprint::Reclaim& reclaim)
{
    return tr("Permanently delete ") + QString::number(models.size()) + tr(" model(s) (")
        + size(gigabytes(reclaim.bytes))
        + (reclaim.everythingGoes() ? tr(")? Model weight files and cached blobs will be removed from this computer.")
                                    : tr(")? Model files that nothing else uses will be removed from this computer."));
}

QString keptFiles(const StorageFootprint::Reclaim& reclaim)
{
    const auto counted = [&](std::int64_t count) {
        const char* noun = reclaim.onlyBlobs ? (count == 1 ? " blob" : " blobs") : (count == 1 ? " file" : " files");
        return QString::number(count) + tr(noun);
    };
    const auto kept = [&](std::int64_t count, std::int64_t bytes) {
        return counted(count) + QStringLiteral(" (") + size(gigabytes(bytes))
            + (count == 1 ? tr(") is kept: ") : tr(") are kept: "));
    };
    QStringList lines;
    if (reclaim.keptFiles > 0) {
        const bool one = reclaim.keptFiles == 1;
        lines << kept(reclaim.keptFiles, reclaim.keptBytes)
                + QString::fromStdString(platform::namesList(reclaim.keptFor, kNamesShown))
                + (reclaim.keptFor.size() == 1 ? tr(" still uses ") : tr(" still use "))
                + (one ? tr("it.") : tr("them."));
    }
    if (reclaim.heldFiles > 0)
        lines << kept(reclaim.heldFiles, reclaim.heldBytes)
                + (reclaim.heldFiles == 1 ? tr("it may still be in use elsewhere on disk.")
                                          : tr("they may still be in use elsewhere on disk."));
    // Its name goes with the model; only its bytes stay, through a link that is no model's.
    if (reclaim.linkedFiles > 0) {
        const bool one = reclaim.linkedFiles == 1;
        lines << counted(reclaim.linkedFiles) + (one ? tr(" is removed, but its ") : tr(" are removed, but their "))
                + size(gigabytes(reclaim.linkedBytes)) + tr(" stay on disk through ")
                + (one ? tr("another link.") : tr("other links."));
    }
    return lines.join(QLatin1Char('\n'));
}

QString deletionNames(const std::vector<InventoryModel>& models)
{
    std::vector<std::string> names;
    for (const auto& m : models)
        names.push_back(m.name);
    return QString::fromStdString(platform::namesList(names, kNamesShown));
}

QString purgeQuestion(const DeveloperCacheItem& item, int modelsInside)
{
    QString text = tr("Purge ") + QString::fromStdString(item.name) + QStringLiteral(" (")
        + QString::fromStdString(item.formattedSize()) + QStringLiteral(")? ") + QString::fromStdString(item.details);
    if (item.category == DeveloperCacheCategory::huggingFaceHub)
        text += tr(" It holds ") + QString::number(modelsInside) + (modelsInside == 1 ? tr(" model.") : tr(" models."));
    return text;
}

QString relativeDate(Date date, Date now)
{
    const double seconds = now.timeIntervalSince(date);
    const double span = std::fabs(seconds);
    struct Unit
    {
        double seconds;
        const char* one;
        const char* many;
    };
    static const Unit units[] = {
        {365 * 86400.0, "yr.", "yr."},
        {30 * 86400.0, "mo.", "mo."},
        {7 * 86400.0, "wk.", "wk."},
        {86400.0, "day", "days"},
        {3600.0, "hr.", "hr."},
        {60.0, "min.", "min."},
        {1.0, "sec.", "sec."},
    };
    if (!std::isfinite(span))
        return QStringLiteral("—");
    for (const Unit& u : units) {
        const auto count = static_cast<long long>(span / u.seconds);
        if (count < 1 && u.seconds > 1)
            continue;
        const QString amount = QString::number(count) + QLatin1Char(' ') + tr(count == 1 ? u.one : u.many);
        return seconds >= 0 ? amount + tr(" ago") : tr("in ") + amount;
    }
    return {};
}

} // namespace StorageTexts
