#pragma once

#include <QString>

#include <memory>

class AuditLogger;
class Clock;
class Desktop;
class Dialogs;
class HelperService;
class PrivacyMetricsEngine;
class PrivacyPageState;
class QThreadPool;

// What the privacy pages work with: the privacy store, the audit log, the helper's registration, the
// data and settings folders, and the desktop, dialogs and clock (replaced by test doubles in tests). The
// pages' work runs on `pool` and may outlive the page that started it: it holds the helper service, and
// whoever owns the store and the audit log waits for the pool (QThreadPool::waitForDone(), or the pool's
// destructor) before they go.
struct PrivacyServices
{
    PrivacyMetricsEngine* engine = nullptr;
    AuditLogger* auditLogger = nullptr;
    std::shared_ptr<HelperService> helper;
    Dialogs* dialogs = nullptr;
    Desktop* desktop = nullptr;
    Clock* clock = nullptr;
    QThreadPool* pool = nullptr;
    QString dataDirectory;
    QString helperBinary; // the installed root helper, whose ownership the inspector lets users check
    QString settingsDirectory; // the folder of the settings file
    // Why this copy cannot set up or remove the helper itself, in the setup page's words; empty when it can.
    QString helperSetupUnavailable = QString();
    // Where the erasure and uninstall cards keep what they did, when something outlives the page that
    // shows them; without it each card keeps its own.
    PrivacyPageState* pageState = nullptr;

    // The program's shared store, audit log, system desktop, dialogs and clock, which live as long as the
    // program, with `helper`, on `pool` (null: the global pool).
    static PrivacyServices standard(std::shared_ptr<HelperService> helper, QThreadPool* pool = nullptr);
};
