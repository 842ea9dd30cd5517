#pragma once

class QLayout;

// Emptying layouts whose contents are built anew.
namespace Layouts {

// Takes every item out of `layout` and deletes it with its widget, emptying nested layouts likewise.
void clear(QLayout* layout);
// Takes every item out of `layout`, hides its widget and deletes that widget once control returns to the
// event loop, for widgets whose own signal may be what asked for the rebuild.
void clearLater(QLayout* layout);

} // namespace Layouts
