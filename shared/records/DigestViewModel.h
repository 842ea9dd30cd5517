#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "DigestEngine.h"
#endif

#include "core/PendingWork.h"

#include <QFuture>
#include <QObject>

#include <memory>
#include <vector>

// Publishes the engine's digests to the weekly digest list. Shows nothing until the first reload()
// and does not follow the engine by itself.
class DigestViewModel : public QObject
{
    Q_OBJECT
public:
    explicit DigestViewModel(std::shared_ptr<DigestEngine> digestEngine, QObject* parent = nullptr);

    const std::vector<WeeklyDigest>& weeklyDigests() const { return m_weeklyDigests; }

    // Reads the engine off the GUI thread and assigns the list back on it; the future finishes
    // once weeklyDigestsChanged has been emitted.
    QFuture<void> reload();

signals:
    void weeklyDigestsChanged();

private:
    std::shared_ptr<DigestEngine> m_digestEngine;
    std::vector<WeeklyDigest> m_weeklyDigests;
    PendingWork m_reads {this};
};
