#pragma once

#include <QString>

// The title and text of each step of the guided tour (0-2 the welcome cards, 3-6 the tour card).
namespace TourTexts {

// What the words depend on: whether the helper acts for this copy, and which figures this machine gives.
struct Facts
{
    bool canPause = true;
    bool coreKinds = true; // performance and efficiency cores
    bool temperature = true;
    bool operator==(const Facts&) const = default;
};

QString title(int step);
QString text(int step, const Facts& facts = {});

} // namespace TourTexts
