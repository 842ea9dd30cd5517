#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "DeveloperCacheEngine.h"
#include "DeveloperCacheItem.h"
#include "InventoryFilter.h"
#include "InventoryModel.h"
#include "ModelDeletionResult.h"
#include "ModelInventoryEngine.h"
#include "StorageFootprint.h"
#endif

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class AssistanceTracker;
class QThreadPool;

// The model behind the storage view: the last scan of models and developer caches, the filter, the
// selection and every cleaning action. Lives on the GUI thread. Scans and cleans run on a thread pool
// and publish their results here when they end; the engines are shared with that work, so a clean
// started from a view finishes (and is recorded) even after the view and its model are gone. Only
// the delivery of results back here is dropped then.
class ModelInventoryViewModel : public QObject
{
    Q_OBJECT
public:
    ModelInventoryViewModel(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
        std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, QObject* parent = nullptr);
    // With the tracker that records reclaimed storage and the pool the work runs on, for tests.
    ModelInventoryViewModel(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
        std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, std::shared_ptr<AssistanceTracker> tracker,
        QThreadPool* pool, QObject* parent = nullptr);

    const std::vector<InventoryModel>& installedModels() const { return m_installedModels; }
    const std::vector<DeveloperCacheItem>& developerCaches() const { return m_developerCaches; }
    // True while any scan runs (a second scan keeps it up until both ended).
    bool isScanning() const { return m_scans > 0; }
    // True while any clean runs.
    bool isCleaning() const { return m_cleans > 0; }
    InventoryFilter activeFilter() const { return m_activeFilter; }
    void setActiveFilter(InventoryFilter filter);
    const std::set<std::string>& selectedModelIds() const { return m_selectedModelIds; }
    void setSelectedModelIds(std::set<std::string> ids);
    const std::optional<ModelDeletionResult>& lastCleanResult() const { return m_lastCleanResult; }
    void setLastCleanResult(std::optional<ModelDeletionResult> result);

    // What the installed models take together, each file once (a blob two tags share, a hard link).
    double totalStorageGB() const;
    // The caches, less what lies in them that is counted under the models (the Hugging Face hub).
    double totalDeveloperCachesGB() const;
    double totalSafeCachesGB() const;
    std::vector<InventoryModel> archiveCandidates() const;
    std::vector<InventoryModel> duplicateModels() const;
    std::vector<InventoryModel> filteredModels() const;
    std::vector<InventoryModel> selectedModels() const;
    // What deleting the models would free, each file once: a blob or a hard-linked file that a model
    // left in place still uses stays, and is named.
    StorageFootprint::Reclaim reclaimFor(const std::vector<InventoryModel>& models) const;
    // The figures below are such estimates of what the clean would free.
    double archiveReclaimableGB() const;
    double selectedStorageGB() const;
    // Per duplicate group of two or more, every member but the largest.
    double duplicateReclaimableGB() const;
    // The unused models, the surplus duplicates and the safe caches together.
    double overallReclaimableGB() const;
    // The installed Hugging Face models that lie inside a cache folder (what purging it deletes).
    int modelsInside(const DeveloperCacheItem& cache) const;

    // Every operation below returns at once; `done` runs on the GUI thread when the work ended and
    // this model has published its results, unless this model is gone by then.
    void scan(std::function<void()> done = {});
    void toggleSelection(const InventoryModel& model);
    void clearSelection();
    void selectAllFiltered();

    // Empties every "Safe to Purge" cache; `done` gets what the engine reports: the bytes freed, and
    // the caches refused, failed or left in part.
    void cleanAllSafeCaches(std::function<void(const DeveloperCacheEngine::SafePurge&)> done = {});
    // Empties one cache; `done` gets what the engine reports, its refusal or error included.
    void cleanCacheItem(
        const DeveloperCacheItem& item, std::function<void(DeveloperCacheEngine::PurgeResult)> done = {});
    // Deletes the models; `done` gets the engine's result. An empty list changes nothing.
    void cleanModels(std::vector<InventoryModel> models, std::function<void(ModelDeletionResult)> done = {});
    void deleteModel(const InventoryModel& model, std::function<void(ModelDeletionResult)> done = {});
    void cleanAllArchiveCandidates(std::function<void(ModelDeletionResult)> done = {});
    void cleanDuplicates(bool keepLargest, std::function<void(ModelDeletionResult)> done = {});

signals:
    void installedModelsChanged();
    void developerCachesChanged();
    void isScanningChanged(bool scanning);
    void isCleaningChanged(bool cleaning);
    void activeFilterChanged(InventoryFilter filter);
    void selectedModelIdsChanged();
    void lastCleanResultChanged();

private:
    void beginScan();
    void endScan();
    void beginClean();
    void endClean();
    void publishModels(ModelInventoryEngine::Inventory inventory);
    void publishCaches(std::vector<DeveloperCacheItem> caches);
    void removeModels(const std::set<std::string>& paths);
    std::vector<std::vector<InventoryModel>> duplicateGroups() const;
    std::vector<InventoryModel> duplicateSurplus(bool keepLargest) const;
    std::vector<InventoryModel> modelsInsideOf(const DeveloperCacheItem& cache) const;

    std::shared_ptr<ModelInventoryEngine> m_inventoryEngine;
    std::shared_ptr<DeveloperCacheEngine> m_developerCacheEngine;
    std::shared_ptr<AssistanceTracker> m_tracker; // held by the work that records reclaimed storage
    QThreadPool* m_pool;

    std::vector<InventoryModel> m_installedModels;
    StorageFootprint m_footprint; // of the installed models
    std::vector<DeveloperCacheItem> m_developerCaches;
    int m_scans = 0;
    int m_cleans = 0;
    InventoryFilter m_activeFilter = InventoryFilter::all;
    std::set<std::string> m_selectedModelIds;
    std::optional<ModelDeletionResult> m_lastCleanResult;
};
