#include "PrivacyPageState.h"

void PrivacyPageState::finishErasure(Erasure erasure)
{
    m_erasure = std::move(erasure);
    emit erased();
    emit erasureChanged();
}

void PrivacyPageState::hideErasureLines()
{
    m_erasure.cleared.clear();
    m_erasure.failed.clear();
    emit erasureChanged();
}
