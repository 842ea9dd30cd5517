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
    void setHelperStatus(const PrivacyMetricsEngine::HelperStatus& status);

    PrivacyServices m_services;
    std::vector<AuditEvent> m_recentEvents;
    std::unique_ptr<PrivacyMetricsEngine::HelperActivityStream> m_stream;
    RoundedBox* m_empty;
    QWidget* m_rows;
    QVBoxLayout* m_rowLayout;
    QWidget* m_status;
    SymbolLabel* m_statusDot;
    ThemedLabel* m_statusLabel;
};
