#pragma once

#include <QString>

// The title and text of each step of the guided tour (0-2 the welcome cards, 3-6 the tour card).
namespace TourTexts {

QString title(int step);
QString text(int step);

} // namespace TourTexts
