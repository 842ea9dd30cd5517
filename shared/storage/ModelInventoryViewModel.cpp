#include "ModelInventoryViewModel.h"

#include "core/PoolWork.h"

#include "core/NumberFormat.h"
#include "core/Units.h"
#include "records/AssistanceTracker.h"

#include "platform/text/NamesList.h"

#include <QDebug>
#include <QThreadPool>

#include <algorithm>
#include <map>

namespace {

// One assistance event and the counters for a clean that freed something. Runs on the pool, inside
// the clean's own work, so it is recorded also when the view that started the clean is gone.
void recordReclaimed(
    AssistanceTracker& tracker, const std::string& title, const std::string& detail, std::int64_t bytes)
{
    if (bytes < 1)
        return;
    const double gb = gigabytes(bytes);
    tracker.record(AssistanceCategory::storage, title, detail, "+" + gigabyteSizeText(gb), 0, gb, 0);
}

// The names of the models, less those the deletion reports as failed (each failure once).
std::vector<std::string> modelNames(const std::vector<InventoryModel>& models, std::vector<std::string> failed)
{
    std::vector<std::string> names;
    for (const auto& m : models) {
        if (const auto it = std::find(failed.begin(), failed.end(), m.name); it != failed.end())
            failed.erase(it);
        else
            names.push_back(m.name);
    }
    return names;
}

void sortLargestFirst(std::vector<InventoryModel>& models)
{
    std::stable_sort(models.begin(), models.end(), [](const auto& a, const auto& b) { return a.sizeGB > b.sizeGB; });
}

} // namespace

ModelInventoryViewModel::ModelInventoryViewModel(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
    std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, QObject* parent)
    : ModelInventoryViewModel(std::move(inventoryEngine), std::move(developerCacheEngine),
        lifelong(AssistanceTracker::shared()), QThreadPool::globalInstance(), parent)
{
}

ModelInventoryViewModel::ModelInventoryViewModel(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
    std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, std::shared_ptr<AssistanceTracker> tracker,
    QThreadPool* pool, QObject* parent)
    : QObject(parent)
    , m_inventoryEngine(std::move(inventoryEngine))
    , m_developerCacheEngine(std::move(developerCacheEngine))
    , m_tracker(std::move(tracker))
    , m_pool(pool)
{
}

void ModelInventoryViewModel::setActiveFilter(InventoryFilter filter)
{
    if (filter == m_activeFilter)
        return;
    m_activeFilter = filter;
    emit activeFilterChanged(filter);
}

void ModelInventoryViewModel::setSelectedModelIds(std::set<std::string> ids)
{
    if (ids == m_selectedModelIds)
        return;
    m_selectedModelIds = std::move(ids);
    emit selectedModelIdsChanged();
}

void ModelInventoryViewModel::setLastCleanResult(std::optional<ModelDeletionResult> result)
{
    m_lastCleanResult = std::move(result);
    emit lastCleanResultChanged();
}

double ModelInventoryViewModel::totalStorageGB() const
{
    return gigabytes(m_footprint.totalBytes(m_installedModels));
}

double ModelInventoryViewModel::totalDeveloperCachesGB() const
{
    // A cache that is also a model store (the Hugging Face hub) adds only what is not counted as models.
    std::int64_t total = 0;
    for (const auto& c : m_developerCaches)
        total += std::max<std::int64_t>(0, c.sizeBytes - m_footprint.totalBytes(modelsInsideOf(c)));
    return gigabytes(total);
}

double ModelInventoryViewModel::totalSafeCachesGB() const
{
    double total = 0;
    for (const auto& c : m_developerCaches) {
        if (c.safetyTier == CacheSafetyTier::safeToPurge)
            total += c.sizeGB();
    }
    return total;
}

std::vector<InventoryModel> ModelInventoryViewModel::archiveCandidates() const
{
    std::vector<InventoryModel> out;
    std::copy_if(m_installedModels.begin(), m_installedModels.end(), std::back_inserter(out),
        [](const auto& m) { return m.isArchiveCandidate; });
    return out;
}

std::vector<InventoryModel> ModelInventoryViewModel::duplicateModels() const
{
    std::vector<InventoryModel> out;
    std::copy_if(m_installedModels.begin(), m_installedModels.end(), std::back_inserter(out),
        [](const auto& m) { return m.isDuplicate; });
    return out;
}

std::vector<InventoryModel> ModelInventoryViewModel::filteredModels() const
{
    switch (m_activeFilter) {
    case InventoryFilter::archiveCandidates:
        return archiveCandidates();
    case InventoryFilter::duplicates:
        return duplicateModels();
    case InventoryFilter::all:
        break;
    }
    return m_installedModels;
}

std::vector<InventoryModel> ModelInventoryViewModel::selectedModels() const
{
    std::vector<InventoryModel> out;
    std::copy_if(m_installedModels.begin(), m_installedModels.end(), std::back_inserter(out),
        [this](const auto& m) { return m_selectedModelIds.contains(m.id()); });
    return out;
}

StorageFootprint::Reclaim ModelInventoryViewModel::reclaimFor(const std::vector<InventoryModel>& models) const
{
    return m_footprint.reclaim(models);
}

double ModelInventoryViewModel::archiveReclaimableGB() const
{
    return gigabytes(reclaimFor(archiveCandidates()).bytes);
}

double ModelInventoryViewModel::selectedStorageGB() const
{
    return gigabytes(reclaimFor(selectedModels()).bytes);
}

std::vector<std::vector<InventoryModel>> ModelInventoryViewModel::duplicateGroups() const
{
    // Groups in order of their first member, members in list order.
    std::vector<std::vector<InventoryModel>> groups;
    std::map<std::string, std::size_t> index;
    for (const auto& m : duplicateModels()) {
        if (!m.duplicateGroup)
            continue;
        auto [it, added] = index.try_emplace(*m.duplicateGroup, groups.size());
        if (added)
            groups.emplace_back();
        groups[it->second].push_back(m);
    }
    return groups;
}

std::vector<InventoryModel> ModelInventoryViewModel::duplicateSurplus(bool keepLargest) const
{
    std::vector<InventoryModel> surplus;
    for (auto group : duplicateGroups()) {
        if (group.size() < 2)
            continue;
        if (keepLargest)
            sortLargestFirst(group);
        surplus.insert(surplus.end(), group.begin() + 1, group.end());
    }
    return surplus;
}

double ModelInventoryViewModel::duplicateReclaimableGB() const
{
    return gigabytes(reclaimFor(duplicateSurplus(true)).bytes);
}

double ModelInventoryViewModel::overallReclaimableGB() const
{
    // A model both unused and a surplus duplicate frees its files once.
    std::vector<InventoryModel> models = archiveCandidates();
    const auto surplus = duplicateSurplus(true);
    models.insert(models.end(), surplus.begin(), surplus.end());
    return gigabytes(reclaimFor(models).bytes) + totalSafeCachesGB();
}

std::vector<InventoryModel> ModelInventoryViewModel::modelsInsideOf(const DeveloperCacheItem& cache) const
{
    const std::string prefix = cache.path + "/";
    std::vector<InventoryModel> inside;
    std::copy_if(m_installedModels.begin(), m_installedModels.end(), std::back_inserter(inside),
        [&](const auto& m) { return m.source == ModelSource::huggingFace && m.path.starts_with(prefix); });
    return inside;
}

int ModelInventoryViewModel::modelsInside(const DeveloperCacheItem& cache) const
{
    return static_cast<int>(modelsInsideOf(cache).size());
}

void ModelInventoryViewModel::beginScan()
{
    if (m_scans++ == 0)
        emit isScanningChanged(true);
}

void ModelInventoryViewModel::endScan()
{
    if (--m_scans == 0)
        emit isScanningChanged(false);
}

void ModelInventoryViewModel::beginClean()
{
    if (m_cleans++ == 0)
        emit isCleaningChanged(true);
}

void ModelInventoryViewModel::endClean()
{
    if (--m_cleans == 0)
        emit isCleaningChanged(false);
}

void ModelInventoryViewModel::publishModels(ModelInventoryEngine::Inventory inventory)
{
    sortLargestFirst(inventory.models);
    m_installedModels = std::move(inventory.models);
    m_footprint = std::move(inventory.footprint);
    emit installedModelsChanged();
    std::set<std::string> kept;
    for (const auto& m : m_installedModels) {
        if (m_selectedModelIds.contains(m.id()))
            kept.insert(m.id());
    }
    setSelectedModelIds(std::move(kept));
}

void ModelInventoryViewModel::publishCaches(std::vector<DeveloperCacheItem> caches)
{
    m_developerCaches = std::move(caches);
    emit developerCachesChanged();
}

void ModelInventoryViewModel::removeModels(const std::set<std::string>& paths)
{
    std::erase_if(m_installedModels, [&](const auto& m) { return paths.contains(m.path); });
    m_footprint.forget(paths);
    emit installedModelsChanged();
    std::set<std::string> kept = m_selectedModelIds;
    for (const auto& p : paths)
        kept.erase(p);
    setSelectedModelIds(std::move(kept));
}

void ModelInventoryViewModel::scan(std::function<void()> done)
{
    beginScan();
    // Both scans run at once; the results are published together when the second one arrives.
    struct Join
    {
        std::optional<ModelInventoryEngine::Inventory> models;
        std::optional<std::vector<DeveloperCacheItem>> caches;
        std::function<void()> done;
    };
    auto join = std::make_shared<Join>();
    join->done = std::move(done);
    auto publishWhenBoth = [this, join] {
        if (!join->models || !join->caches)
            return;
        publishModels(std::move(*join->models));
        publishCaches(std::move(*join->caches));
        endScan();
        if (join->done)
            join->done();
    };
    runOnPool(
        m_pool, this, [engine = m_inventoryEngine] { return engine->scanInventory(); },
        [join, publishWhenBoth](ModelInventoryEngine::Inventory models) {
            join->models = std::move(models);
            publishWhenBoth();
        });
    runOnPool(
        m_pool, this, [engine = m_developerCacheEngine] { return engine->scanCaches(); },
        [join, publishWhenBoth](std::vector<DeveloperCacheItem> caches) {
            join->caches = std::move(caches);
            publishWhenBoth();
        });
}

void ModelInventoryViewModel::toggleSelection(const InventoryModel& model)
{
    std::set<std::string> ids = m_selectedModelIds;
    if (!ids.erase(model.id()))
        ids.insert(model.id());
    setSelectedModelIds(std::move(ids));
}

void ModelInventoryViewModel::clearSelection()
{
    setSelectedModelIds({});
}

void ModelInventoryViewModel::selectAllFiltered()
{
    std::set<std::string> ids = m_selectedModelIds;
    for (const auto& m : filteredModels())
        ids.insert(m.id());
    setSelectedModelIds(std::move(ids));
}

void ModelInventoryViewModel::cleanAllSafeCaches(std::function<void(const DeveloperCacheEngine::SafePurge&)> done)
{
    beginClean();
    struct Outcome
    {
        DeveloperCacheEngine::SafePurge purge;
        std::vector<DeveloperCacheItem> caches;
    };
    runOnPool(
        m_pool, this,
        [engine = m_developerCacheEngine, tracker = m_tracker] {
            Outcome out {engine->purgeAllSafeCaches(), {}};
            recordReclaimed(*tracker, "Safe Caches Purged", out.purge.clearedDetail(), out.purge.reclaimedBytes);
            for (const auto& [name, why] : out.purge.failures)
                qWarning().noquote() << QStringLiteral("Failed to purge cache %1: %2")
                                            .arg(QString::fromStdString(name), QString::fromStdString(why));
            out.caches = engine->scanCaches();
            return out;
        },
        [this, done = std::move(done)](Outcome out) {
            const std::int64_t freed = out.purge.reclaimedBytes;
            if (freed >= 1) {
                std::vector<std::string> notCleared = out.purge.incompleteNames;
                for (const auto& [name, why] : out.purge.failures)
                    notCleared.push_back(name);
                setLastCleanResult(ModelDeletionResult(
                    static_cast<std::int64_t>(out.purge.clearedNames.size()), freed, std::move(notCleared)));
            }
            publishCaches(std::move(out.caches));
            endClean();
            if (done)
                done(out.purge);
        });
}

void ModelInventoryViewModel::cleanCacheItem(
    const DeveloperCacheItem& item, std::function<void(DeveloperCacheEngine::PurgeResult)> done)
{
    beginClean();
    struct Outcome
    {
        DeveloperCacheEngine::PurgeResult purge;
        std::vector<DeveloperCacheItem> caches;
    };
    runOnPool(
        m_pool, this,
        [engine = m_developerCacheEngine, tracker = m_tracker, item] {
            Outcome out {engine->purgeCache(item.path), {}};
            if (out.purge.error)
                qWarning().noquote() << QStringLiteral("Failed to purge cache %1: %2")
                                            .arg(QString::fromStdString(item.name),
                                                QString::fromStdString(*out.purge.error));
            else
                recordReclaimed(*tracker, "Cache Reclaimed",
                    (out.purge.incomplete ? "Partly purged " : "Purged ") + item.name, out.purge.freedBytes);
            out.caches = engine->scanCaches();
            return out;
        },
        [this, item, done = std::move(done)](Outcome out) {
            if (out.purge.ok() && out.purge.freedBytes >= 1) {
                const bool whole = !out.purge.incomplete;
                setLastCleanResult(ModelDeletionResult(whole ? 1 : 0, out.purge.freedBytes,
                    whole ? std::vector<std::string>() : std::vector<std::string> {item.name}));
            }
            publishCaches(std::move(out.caches));
            endClean();
            if (done)
                done(out.purge);
        });
}

void ModelInventoryViewModel::cleanModels(
    std::vector<InventoryModel> models, std::function<void(ModelDeletionResult)> done)
{
    if (models.empty()) {
        if (done)
            done(ModelDeletionResult());
        return;
    }
    beginClean();
    std::set<std::string> paths;
    for (const auto& m : models)
        paths.insert(m.path);
    runOnPool(
        m_pool, this,
        [engine = m_inventoryEngine, tracker = m_tracker, models = std::move(models)] {
            ModelDeletionResult result = engine->deleteModels(models);
            if (result.deletedCount > 0)
                recordReclaimed(*tracker, "Storage Reclaimed",
                    "Cleaned " + std::to_string(result.deletedCount) + " model(s) ("
                        + platform::namesList(modelNames(models, result.failedModelNames)) + ")",
                    result.totalReclaimedBytes);
            return result;
        },
        [this, paths = std::move(paths), done = std::move(done)](ModelDeletionResult result) {
            // A model that could not be deleted leaves the list as well; the next scan shows it again.
            removeModels(paths);
            setLastCleanResult(result);
            endClean();
            if (done)
                done(std::move(result));
        });
}

void ModelInventoryViewModel::deleteModel(const InventoryModel& model, std::function<void(ModelDeletionResult)> done)
{
    beginClean();
    runOnPool(
        m_pool, this, [engine = m_inventoryEngine, model] { return engine->deleteModels({model}); },
        [this, path = model.path, done = std::move(done)](ModelDeletionResult result) {
            auto it = std::find_if(
                m_installedModels.begin(), m_installedModels.end(), [&](const auto& m) { return m.path == path; });
            if (it != m_installedModels.end())
                removeModels({path});
            // What the engine did, not the listed size: a model that stayed on disk freed nothing.
            setLastCleanResult(result);
            endClean();
            if (done)
                done(std::move(result));
        });
}

void ModelInventoryViewModel::cleanAllArchiveCandidates(std::function<void(ModelDeletionResult)> done)
{
    cleanModels(archiveCandidates(), std::move(done));
}

void ModelInventoryViewModel::cleanDuplicates(bool keepLargest, std::function<void(ModelDeletionResult)> done)
{
    cleanModels(duplicateSurplus(keepLargest), std::move(done));
}
