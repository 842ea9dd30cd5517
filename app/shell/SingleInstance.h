#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps one running copy of the program per user. The first start listens on a local socket in a
// folder only the user may write to; a later start finds it there, asks it to show itself and leaves.
// Only a listener of the same user's counts as a running copy. A running copy answers each request;
// one that is stopped (a Ctrl-Z, a SIGSTOP) is continued first, and one that does not answer within
// a second is reported, never left silently.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr int kAnswerTimeoutMs = 1000;

    // Empty `socketPath`: "quorvane-pro.socket" in the user's runtime folder, else in "quorvane-pro" in
    // the user's cache folder; none (the program runs alone) when neither is the user's alone.
    explicit SingleInstance(QString socketPath = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy (it now listens); false when another copy holds the socket.
    bool claim();
    const QString& socketPath() const { return m_socketPath; }
    // After claim() returned false: whether the running copy answered (and shows itself).
    bool runningCopyAnswered() const { return m_answered; }
    // After claim(): one line for the user about the running copy, empty when there is nothing to say.
    const QString& message() const { return m_message; }

signals:
    // Another start asked this copy to show its popover or window.
    void showRequested();

private:
    // False when nobody listens at the socket.
    bool askRunningCopyToShow();

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
    bool m_answered = false;
    QString m_message;
};
