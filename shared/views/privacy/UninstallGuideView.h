#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PrivacyMetricsEngine.h"
#endif

#include "PrivacyServices.h"

#include <QWidget>

#include <optional>
#include <set>

class PillButton;
class QBoxLayout;
class RoundedBox;
class ThemedLabel;

// "Uninstall Quorvane": four steps that switch the helper off, erase the user's data, check from the
// running program that nothing would stay behind the package, and copy the command that removes it.
class UninstallGuideView : public QWidget
{
    Q_OBJECT
public:
    enum StepNumber { kRemoveHelper = 1, kClearData = 2, kVerify = 3, kRemovePackage = 4 };

    explicit UninstallGuideView(const PrivacyServices& services, QWidget* parent = nullptr);

    const std::set<int>& completedSteps() const { return m_completed; }
    const std::optional<PrivacyMetricsEngine::UninstallVerification>& verificationResult() const
    {
        return m_verification;
    }
    QString buttonLabel(int step) const;
    bool isVerifying() const { return m_isVerifying; }
    QString verdictText() const;
    QStringList checkStatusTexts() const;
    QString statusText() const;
    // The shell command that removes the package and the helper's log; never run from here.
    static QString removeProgramCommand();

    void pressStep(int step);

signals:
    void stepFinished(int step);

private:
    struct Step
    {
        RoundedBox* badge;
        ThemedLabel* badgeText;
        PillButton* button;
        QString label;
    };

    void removeHelper();
    void clearAllData();
    void copyRemovalCommand();
    void verify();
    void markDone(int step);
    void showFailure(const QString& text);
    void refreshSteps();
    void showVerification();

    PrivacyServices m_services;
    std::set<int> m_completed;
    std::set<int> m_running;
    std::optional<PrivacyMetricsEngine::UninstallVerification> m_verification;
    bool m_isVerifying = false;
    Step m_steps[4];
    ThemedLabel* m_status;
    RoundedBox* m_audit;
    QBoxLayout* m_auditLayout;
};
