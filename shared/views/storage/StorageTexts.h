#pragma once

#include "storage/DeveloperCacheEngine.h"
#include "storage/DeveloperCacheItem.h"
#include "storage/InventoryModel.h"
#include "storage/ModelDeletionResult.h"
#include "storage/StorageFootprint.h"

#include "core/Date.h"

#include <QString>

#include <cstdint>
#include <vector>

// A result shown in the storage view's banner: what happened, and in orange what did not.
struct StorageMessage
{
    QString text;
    QString failure; // empty when nothing failed
    // False when anything asked for was not done, a cache or model left in part included: the banner
    // then takes the warning colour.
    bool succeeded = true;

    bool operator==(const StorageMessage&) const = default;
};

// The texts of the storage view that are built from figures.
namespace StorageTexts {

QString modelsTabLabel(double totalStorageGB);
QString cachesTabLabel(double totalDeveloperCachesGB);
// "(12.3 GB)" after the title, or empty for a total of 0.
QString headerTotal(double totalGB);

// What was freed and deleted, then in orange the models that could not be removed (whole).
StorageMessage modelsDeleted(const ModelDeletionResult& result);
// What was freed, then in orange the caches that could not be cleaned or were left in part; only a
// clean that failed nowhere and left nothing counts as a success.
StorageMessage safeCachesPurged(const DeveloperCacheEngine::SafePurge& purge);
// After a purge from a row (`confirmed` false) or from the confirmation; a purge that left part of the
// folder is "Partly purged", with what stayed in orange.
StorageMessage cachePurged(
    const DeveloperCacheItem& item, const DeveloperCacheEngine::PurgeResult& result, bool confirmed);

// The question before deleting the models, with what the deletion frees.
QString deletionQuestion(const std::vector<InventoryModel>& models, const StorageFootprint::Reclaim& reclaim);
// The files of the models that the deletion leaves, and why; empty when everything goes.
QString keptFiles(const StorageFootprint::Reclaim& reclaim);
// The models' names, a few of them, then how many more.
QString deletionNames(const std::vector<InventoryModel>& models);
QString purgeQuestion(const DeveloperCacheItem& item, int modelsInside);

// "3 days ago", "2 hr. ago", "in 5 min.": the largest whole unit between `date` and `now`.
QString relativeDate(Date date, Date now);

} // namespace StorageTexts
