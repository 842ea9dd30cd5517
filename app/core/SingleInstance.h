#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps one running copy of the program per user. The first start listens on a local socket in the
// runtime folder; a later start finds it there, asks it to show itself and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // Empty `socketPath`: "quorvane-pro.socket" in the user's runtime folder.
    explicit SingleInstance(QString socketPath = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy (it now listens); false when another copy answered and was
    // asked to show itself.
    bool claim();
    const QString& socketPath() const { return m_socketPath; }

signals:
    // Another start asked this copy to show its popover or window.
    void showRequested();

private:
    bool askRunningCopyToShow();

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};
