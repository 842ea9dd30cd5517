#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class HelperService;
class NotificationPermission;
class PillButton;
class QLayout;
class QThreadPool;
class Spinner;
class SymbolLabel;
class ThemedLabel;

// "Permissions & Setup", page 4 of the first-run flow: installs the root helper and checks that
// notifications can be shown, then lets the user go on, saying whether processes can be paused. The install
// and the question run on `pool` and may outlive the page: they hold `helper` and `notifications`, and the
// pool's owner waits for them before what those reach goes.
class ProOnboardingView : public QWidget
{
    Q_OBJECT
public:
    // Continue hands on whether the helper was installed, so that processes can be paused.
    using Continue = std::function<void(bool canPause)>;
    ProOnboardingView(std::shared_ptr<HelperService> helper, std::shared_ptr<NotificationPermission> notifications,
        QThreadPool* pool, Continue onContinue, QWidget* parent = nullptr);

    // The helper cannot be set up from this copy, for `why`: the row says so instead of offering the
    // install, and Continue is open. Empty: it can.
    void setHelperUnavailable(const QString& why);

    bool hasInstalledHelper() const { return m_hasInstalledHelper; }
    bool hasGrantedNotifications() const { return m_hasGrantedNotifications; }
    bool isRegistering() const { return m_isRegistering; }
    // Continue is open once an install has ended, whichever way, or where none can be made.
    bool canContinue() const { return m_installAttempted || !m_helperUnavailable.isEmpty(); }
    QString helperStateText() const;
    QString notificationStateText() const;
    QString installButtonText() const;

    void installHelper();
    void allowNotifications();
    void continueSetup();

signals:
    void installFinished();
    void notificationsAnswered();

private:
    // The three steps: process monitoring, the helper daemon and notifications.
    QLayout* buildSteps();
    void refresh();

    std::shared_ptr<HelperService> m_helper;
    std::shared_ptr<NotificationPermission> m_notifications;
    QThreadPool* m_pool;
    Continue m_onContinue;
    QString m_helperUnavailable;
    bool m_hasGrantedNotifications = false;
    bool m_hasInstalledHelper = false;
    bool m_isRegistering = false;
    bool m_installAttempted = false;
    bool m_isAsking = false;
    bool m_notificationsRefused = false; // asked, and no notification service answered
    QString m_installError;
    SymbolLabel* m_helperIcon;
    SymbolLabel* m_bellIcon;
    Spinner* m_spinner;
    PillButton* m_installButton;
    ThemedLabel* m_installed;
    ThemedLabel* m_installFailure;
    ThemedLabel* m_unavailable;
    PillButton* m_allowButton;
    ThemedLabel* m_allowed;
    ThemedLabel* m_notificationFailure;
    PillButton* m_continue;
};
