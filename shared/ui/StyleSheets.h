#pragma once

#include <QColor>
#include <QString>

// Pieces of Qt style sheets.
namespace StyleSheets {

// The colour as a style sheet's "rgba(r, g, b, a)", with the opacity from 0 to 1.
QString rgba(const QColor& color);

// A slim vertical scroll bar: a rounded handle in `handle` on no track, and no arrows. The bar is
// `width` pixels wide with `margin` around the handle.
QString slimVerticalScrollBar(const QColor& handle, int width, int margin = 0);

} // namespace StyleSheets
