#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

// The process-wide notification centre. Names are the product's own ("QuorvaneDidReclaimStorage").
// post() may be called from any thread and returns at once; observers always run later, on the GUI
// thread, so an observer may read the poster's state again and find the change.
class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    static NotificationCenter& defaultCenter();

    void post(const QString& name, const QVariantMap& userInfo = {});

    // Calls handler for every post of name until context is destroyed (or the returned
    // connection is disconnected).
    QMetaObject::Connection observe(
        const QString& name, QObject* context, std::function<void(const QVariantMap& userInfo)> handler);

signals:
    void posted(const QString& name, const QVariantMap& userInfo);

private:
    NotificationCenter() = default;
};
