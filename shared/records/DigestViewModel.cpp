#include "DigestViewModel.h"

#include <QtConcurrent/QtConcurrentRun>

DigestViewModel::DigestViewModel(std::shared_ptr<DigestEngine> digestEngine, QObject* parent)
    : QObject(parent)
    , m_digestEngine(std::move(digestEngine))
{
}

QFuture<void> DigestViewModel::reload()
{
    // The engine is captured by value so that it outlives a read still running when the view model goes.
    return QtConcurrent::run([engine = m_digestEngine] {
        return engine->getDigests();
    }).then(this, [this](std::vector<WeeklyDigest> digests) {
        m_weeklyDigests = std::move(digests);
        emit weeklyDigestsChanged();
    });
}
