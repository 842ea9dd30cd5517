#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PrivacyMetricsEngine.h"
#endif

#include "PrivacyServices.h"

#include <QWidget>

#include <optional>

class CopyButton;
class PillButton;
class QLayout;
class QVBoxLayout;
class SymbolLabel;
class ThemedLabel;

// "Privileged Helper Inspector": the helper's registration and connection as the system reports
// them, what it can and cannot do, a command to check the installed binary, and reinstalling or
// removing it.
class HelperInspectorView : public QWidget
{
    Q_OBJECT
public:
    explicit HelperInspectorView(const PrivacyServices& services, QWidget* parent = nullptr);

    const std::optional<PrivacyMetricsEngine::HelperStatus>& helperStatus() const { return m_helperStatus; }
    QString statusText() const;
    QString versionText() const;
    QString ownershipText() const;
    QString statusMessage() const;
    bool isBusy() const { return m_busy; }
    // "Install Helper" while none is installed, else "Reinstall Helper".
    QString installLabel() const;
    // "Uninstall Helper" is offered only while a helper is installed.
    bool offersUninstall() const;
    // The "can do" list, one line for each operation the helper accepts.
    QStringList abilityTexts() const;
    // The "Technical entitlements" section is offered only with an installed unit to list.
    bool offersEntitlements() const;
    QStringList entitlementTexts() const;
    // Where the entitlements come from: systemd's effective values, or the unit file when systemd
    // could not be asked.
    QString entitlementSourceText() const;
    // sha256sum and stat of the helper binary, the path quoted for the shell.
    QString verifyCommand() const;

    void reinstall();
    void requestUninstall();

signals:
    void statusLoaded();
    void actionFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildStatusPanel();
    QLayout* buildAbilities();
    // The toggle and the list of the installed unit's settings it opens.
    void buildEntitlements();
    QLayout* buildVerification();
    QLayout* buildActions();
    void load();
    void setHelperStatus(const PrivacyMetricsEngine::HelperStatus& status);
    static QString sourceText(const PrivacyMetricsEngine::HelperStatus& status);
    void uninstall();
    void setBusy(bool busy);
    void finishAction(const QString& message, bool reload);

    PrivacyServices m_services;
    std::optional<PrivacyMetricsEngine::HelperStatus> m_helperStatus;
    bool m_busy = false;
    QWidget* m_panelContent;
    SymbolLabel* m_dot;
    ThemedLabel* m_status;
    ThemedLabel* m_version;
    ThemedLabel* m_bundle;
    ThemedLabel* m_team;
    ThemedLabel* m_ownership;
    QWidget* m_entitlements;
    ThemedLabel* m_entitlementSource;
    QVBoxLayout* m_entitlementLayout;
    PillButton* m_entitlementToggle;
    PillButton* m_reinstall;
    PillButton* m_uninstall;
    ThemedLabel* m_message;
};
