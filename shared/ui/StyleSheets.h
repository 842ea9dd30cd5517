#pragma once

#include <QColor>
#include <QString>

// Pieces of Qt style sheets.
namespace StyleSheets {

// The colour as a style sheet's "rgba(r, g, b, a)", with the opacity from 0 to 1.
QString rgba(const QColor& color);

} // namespace StyleSheets
