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
class PrivacyPageState;
class QBoxLayout;
class RoundedBox;
class ThemedLabel;

// "Uninstall Quorvane": four steps that switch the helper off, erase the user's data, check from the
// running program that nothing would stay behind the package, and copy the command that removes it.
// The steps done and the check's result are kept in the page state, so a card built anew (erasing the
// settings resets the theme, which rebuilds the page) still shows them.
class UninstallGuideView : public QWidget
{
    Q_OBJECT
public:
    enum StepNumber { kRemoveHelper = 1, kClearData = 2, kVerify = 3, kRemovePackage = 4 };

    explicit UninstallGuideView(const PrivacyServices& services, QWidget* parent = nullptr);

    const std::set<int>& completedSteps() const;
    const std::optional<PrivacyMetricsEngine::UninstallVerification>& verificationResult() const;
    QString buttonLabel(int step) const;
    bool isVerifying() const;
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
    void showState();
    void refreshSteps();
    void showVerification();
    QString checkStatus(const PrivacyMetricsEngine::UninstallVerification::PathCheck& check) const;

    PrivacyServices m_services;
    PrivacyPageState* m_state;
    Step m_steps[4];
    ThemedLabel* m_status;
    RoundedBox* m_audit;
    QBoxLayout* m_auditLayout;
};
