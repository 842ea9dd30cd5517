#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/AuditEvent.h"
#include "records/PrivacyMetricsEngine.h"
#endif

#include "PrivacyServices.h"

#include <QDateTime>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QVBoxLayout;
class RoundedBox;
class SymbolLabel;
class ThemedLabel;

// "Live Helper Activity Timeline": the newest privileged actions as they happen, how long ago each
// was, the helper's connection, and the way into the full audit log.
class LiveHelperActivityView : public QWidget
{
    Q_OBJECT
public:
    static constexpr std::size_t kMaxEvents = 50;
    static constexpr int kRowsShown = 10;
    // How often the ages ("3m ago") are brought up to date while the card is shown.
    static constexpr int kAgeRefreshMs = 15000;

    explicit LiveHelperActivityView(const PrivacyServices& services, QWidget* parent = nullptr);
    ~LiveHelperActivityView() override;

    // "Just now" under a minute (and for the future), then "<n>m ago", "<n>h ago", then the date.
    static QString relativeTime(const QDateTime& now, const QDateTime& timestamp);

    const std::vector<AuditEvent>& recentEvents() const { return m_recentEvents; }
    // Adds an event at the top unless it is already listed; the list keeps the newest 50.
    void insert(const AuditEvent& event);
    QStringList rowTimes() const;
    QStringList rowActions() const;
    QString statusText() const;
    bool isEmptyStateShown() const;
    void openFullAuditLog();

signals:
    void loaded();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshRows();
    // Ages move on while the card is shown; a chain started by an earlier showing stops at the next tick.
    void scheduleAgeRefresh();
    void refreshAges();
    void setHelperStatus(const PrivacyMetricsEngine::HelperStatus& status);

    PrivacyServices m_services;
    std::vector<AuditEvent> m_recentEvents;
    std::unique_ptr<PrivacyMetricsEngine::HelperActivityStream> m_stream;
    int m_showing = 0; // counts showings and hidings, so a tick knows whether its chain is current
    RoundedBox* m_empty;
    QWidget* m_rows;
    QVBoxLayout* m_rowLayout;
    QWidget* m_status;
    SymbolLabel* m_statusDot;
    ThemedLabel* m_statusLabel;
};
