#include "NotificationCenter.h"

#include "PoolWork.h"

#include <QCoreApplication>

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = [] {
        auto* c = new NotificationCenter;
        if (auto* app = QCoreApplication::instance())
            c->moveToThread(app->thread());
        return c;
    }();
    return *center;
}

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo)
{
    // Posted from any thread; the centre lives as long as the program.
    deliverHome(this, [this, name, userInfo] { emit posted(name, userInfo); });
}

QMetaObject::Connection NotificationCenter::observe(
    const QString& name, QObject* context, std::function<void(const QVariantMap& userInfo)> handler)
{
    return connect(this, &NotificationCenter::posted, context,
        [name, handler = std::move(handler)](const QString& posted, const QVariantMap& info) {
            if (posted == name)
                handler(info);
        });
}
