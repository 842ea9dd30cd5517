#pragma once

#include "PrivacyServices.h"

#include <QWidget>

class PillButton;
class QLayout;
class RoundedBox;
class ThemedLabel;

// "Quorvane Network Activity Monitor": the program's own outbound calls of the last day, whether any
// left this computer, the connections it is allowed to make, and a command to check it yourself.
class NetworkActivityView : public QWidget
{
    Q_OBJECT
public:
    static inline const QString verifyCommand = QStringLiteral("sudo ss -tunp | grep -i quorvane");

    explicit NetworkActivityView(const PrivacyServices& services, QWidget* parent = nullptr);

    int callsToday() const { return m_callsToday; }
    int nonLocalCalls() const { return m_nonLocalCalls; }
    bool isAirGapShown() const;
    QString airGapText() const;
    bool isDetailsExpanded() const;
    bool isModelServerActive() const { return m_modelServerActive; }
    QString modelServerStatusText() const;
    // The host of the one outside service the program asks (the public address).
    static QString publicAddressHost();
    void toggleDetails();

signals:
    void countersLoaded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLayout* buildCounters();
    QWidget* buildDiagnostics();
    QWidget* buildVerification();
    void setCounters(int callsToday, int nonLocalCalls);
    void setModelServerActive(bool active);

    PrivacyServices m_services;
    int m_callsToday = 0;
    int m_nonLocalCalls = 0;
    bool m_modelServerActive = false;
    ThemedLabel* m_modelServerStatus = nullptr;
    ThemedLabel* m_calls;
    RoundedBox* m_airGapTile;
    QWidget* m_airGap;
    ThemedLabel* m_airGapLabel;
    QWidget* m_external;
    ThemedLabel* m_externalCount;
    PillButton* m_expander;
    RoundedBox* m_details;
};
