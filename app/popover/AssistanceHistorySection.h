#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers these pull in.
#ifndef Q_MOC_RUN
#include "records/AssistanceCategory.h"
#include "records/AssistanceEvent.h"
#include "records/SavedYouMetrics.h"
#endif
#include "ui/Palette.h"

#include <QFuture>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class AssistanceTracker;
class QAbstractButton;
class QLabel;
class ThemeManager;

// "Assistance History": a collapsible block with the three saved-you tiles, the category chips and
// the four newest events of the chosen category. Loads when shown, on every recorded event and on
// every chip; only the newest load is applied, so the rows always match the selected chip.
class AssistanceHistorySection : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kFetchLimit = 5;
    static constexpr int kShownRows = 4;

    struct Data
    {
        std::vector<AssistanceEvent> events;
        SavedYouMetrics metrics;
    };
    // Fetches the events of a category and the counters, off the GUI thread.
    using Loader = std::function<QFuture<Data>(AssistanceCategory category)>;
    static Loader loaderFor(std::shared_ptr<AssistanceTracker> tracker);

    AssistanceHistorySection(Loader loader, ThemeManager& themes, QWidget* parent = nullptr);

    void loadAssistanceData();

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    AssistanceCategory selectedCategory() const { return m_category; }
    // A chip's tap: selects the category and loads it.
    void selectCategory(AssistanceCategory category);

    QAbstractButton* headerButton() const;
    QAbstractButton* chip(AssistanceCategory category) const;
    // The tiles' texts: storage, hours, builds.
    QStringList tileTexts() const;
    // Title of each row shown, top first.
    QStringList rowTitles() const;
    bool showsEmptyText() const;

    // The chips, in order; the memory category has none.
    static const std::vector<AssistanceCategory>& chipCategories();

protected:
    void showEvent(QShowEvent* event) override;

private:
    class Header;
    class Tile;
    class Chip;
    class Row;
    void apply(const Data& data);
    // The metrics, chips and rows held, in the current palette.
    void redraw();
    QColor categoryColor(AssistanceCategory category) const;

    Loader m_loader;
    Palette m_palette;
    Header* m_header;
    QWidget* m_body;
    QList<Tile*> m_tiles;
    QList<Chip*> m_chips;
    QList<Row*> m_rows;
    QLabel* m_empty;
    bool m_expanded = false;
    AssistanceCategory m_category = AssistanceCategory::all;
    std::vector<AssistanceEvent> m_events;
    SavedYouMetrics m_metrics;
    quint64 m_requested = 0;
};
