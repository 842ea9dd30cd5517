#include "Layouts.h"

#include <QLayout>
#include <QWidget>

namespace Layouts {

void clear(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QLayout* inner = item->layout())
            clear(inner);
        delete item->widget();
        delete item;
    }
}

void clearLater(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
}

} // namespace Layouts
