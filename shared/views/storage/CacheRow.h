#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "ui/RoundedFill.h"

#include "storage/DeveloperCacheItem.h"

#include "ui/Palette.h"
#endif

#include <functional>

class PillButton;

// One developer cache: its symbol in the tier's colour, name, tier badge, details (and `note` under
// them when it is not empty), size and the purge button.
class CacheRow : public RoundedFill
{
    Q_OBJECT
public:
    CacheRow(const DeveloperCacheItem& item, const Palette& palette, const QString& note, std::function<void()> purge,
        QWidget* parent = nullptr);

    const DeveloperCacheItem& item() const { return m_item; }
    PillButton* purgeButton() const { return m_purge; }

private:
    DeveloperCacheItem m_item;
    PillButton* m_purge = nullptr;
};
