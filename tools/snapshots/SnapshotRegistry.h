#pragma once

#include "records/AppTheme.h"
#include "ui/Palette.h"

#include <QImage>
#include <QList>
#include <QString>

#include <functional>

class SampleData;
class QWidget;

// What a render is given: the theme to draw in and the sample figures to show.
struct SnapshotContext
{
    AppTheme theme;
    Palette palette;
    SampleData& data;
};

// Every named picture the snapshot program writes. A view adds itself with one add() per picture,
// in a register function of its own called from main().
class SnapshotRegistry
{
public:
    using Render = std::function<QImage(const SnapshotContext&)>;

    void add(const QString& name, Render render);

    struct Entry
    {
        QString name;
        Render render;
    };
    const QList<Entry>& entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
};

// A widget shown offscreen at its size hint (or `size`), on the theme's background, at `scale` device
// pixels per logical pixel.
QImage grabWidget(QWidget& widget, const Palette& palette, qreal scale = 2.0, QSize size = {});
// An image enlarged `factor` times without smoothing, so single pixels stay visible.
QImage magnified(const QImage& image, int factor);
