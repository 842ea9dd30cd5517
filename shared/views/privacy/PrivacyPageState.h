#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PrivacyMetricsEngine.h"
#endif

#include <QObject>
#include <QString>

#include <optional>
#include <set>
#include <string>

// What the privacy page's erasure and uninstall cards did, held by what outlives the page (the settings
// window): erasing the settings resets a chosen theme, the window then builds its page anew, and the new
// cards still show the outcome. The cards' work reports here, so it lands even when the card that
// started it is gone.
class PrivacyPageState : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The erasure card's status lines; empty texts show no line.
    struct Erasure
    {
        QString cleared;
        QString failed;
        // The amounts measured right after the erasure.
        std::optional<PrivacyMetricsEngine::DataInventory> inventory;
    };
    // The uninstall card's steps.
    struct Uninstall
    {
        std::set<int> completed;
        std::set<int> running;
        std::optional<PrivacyMetricsEngine::UninstallVerification> verification;
        // Every path an audit found something at: one missing now was removed, one never seen was
        // never installed.
        std::set<std::string> seenPaths;
        bool verifying = false;
        QString failure;
    };

    const Erasure& erasure() const { return m_erasure; }
    // A finished erasure: its lines and amounts, told to every card by erased() and erasureChanged().
    void finishErasure(Erasure erasure);
    // The lines go; the amounts stay.
    void hideErasureLines();

    const Uninstall& uninstall() const { return m_uninstall; }
    // Changes the steps and tells every card (uninstallChanged()).
    template<class F> void changeUninstall(F change)
    {
        change(m_uninstall);
        emit uninstallChanged();
    }

signals:
    void erased();
    void erasureChanged();
    void uninstallChanged();
    void uninstallStepFinished(int step);

private:
    Erasure m_erasure;
    Uninstall m_uninstall;
};
