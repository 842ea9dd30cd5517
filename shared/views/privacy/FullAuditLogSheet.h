#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/AuditEvent.h"
#endif

#include "PrivacyServices.h"

#include <QDialog>
#include <QStringList>

#include <vector>

class PillButton;
class QLayout;
class QLineEdit;
class QListView;
class QStandardItemModel;
class QStackedWidget;
class SidewaysScrollArea;
class ThemedLabel;

// "Audit Log Inspector": the whole audit log, narrowed by a search text and a category chip, and
// exported whole as JSON or CSV.
class FullAuditLogSheet : public QDialog
{
    Q_OBJECT
public:
    static inline const QStringList filters {QStringLiteral("All"), QStringLiteral("SIGSTOP"),
        QStringLiteral("SIGCONT"), QStringLiteral("Spotlight"), QStringLiteral("Power"), QStringLiteral("System")};

    static constexpr QSize kSize {640, 460};
    // The search field keeps room for its whole placeholder; the chips beside it scroll.
    static constexpr int kSearchMinWidth = 200;

    explicit FullAuditLogSheet(const PrivacyServices& services, QWidget* parent = nullptr);

    // The events that pass the search (the action as shown, with its process, or the category) and the
    // chip (the stored category), in log order.
    static std::vector<AuditEvent> filtered(
        const std::vector<AuditEvent>& events, const QString& searchText, const QString& selectedFilter);

    const std::vector<AuditEvent>& events() const { return m_events; }
    std::vector<AuditEvent> listedEvents() const;
    QString selectedFilter() const { return m_selectedFilter; }
    QStringList chipLabels() const;
    // The action texts of the listed rows.
    QStringList rowTexts() const;
    void setSearchText(const QString& text);
    void selectFilter(const QString& filter);
    QString countText() const;
    QString statusText() const;
    bool isEmptyStateShown() const;
    QLineEdit* searchField() const { return m_search; }
    QListView* list() const { return m_list; }

    void exportJson();
    void exportCsv();

signals:
    void eventsLoaded();
    void exportFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLayout* buildHeader();
    QLayout* buildFilters();
    QWidget* buildList();
    QLayout* buildExports();
    void load();
    void refreshList();
    void exportAs(const QString& extension, const QString& title);

    PrivacyServices m_services;
    std::vector<AuditEvent> m_events;
    QString m_selectedFilter = QStringLiteral("All");
    bool m_loaded = false;
    ThemedLabel* m_count;
    QLineEdit* m_search;
    QList<PillButton*> m_chips;
    SidewaysScrollArea* m_chipScroll = nullptr;
    QStackedWidget* m_stack;
    QListView* m_list;
    QStandardItemModel* m_model;
    ThemedLabel* m_status;
};
