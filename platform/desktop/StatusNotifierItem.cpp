#include "StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>

namespace platform {

namespace {

// org.kde.StatusNotifierItem with the Ayatana label extension.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ emptyName)
    Q_PROPERTY(QList<platform::TrayPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(QList<platform::TrayPixmap> OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(QList<platform::TrayPixmap> AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(platform::TrayToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item)
        , m_item(item)
    {
        connect(item, &StatusNotifierItem::newIcon, this, &StatusNotifierItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::newTitle, this, &StatusNotifierItemAdaptor::NewTitle);
        connect(item, &StatusNotifierItem::newToolTip, this, &StatusNotifierItemAdaptor::NewToolTip);
        connect(item, &StatusNotifierItem::newLabel, this, &StatusNotifierItemAdaptor::XAyatanaNewLabel);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return m_item->id(); }
    QString title() const { return m_item->title(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString emptyName() const { return {}; }
    TrayPixmapList iconPixmap() const { return m_item->iconPixmaps(); }
    TrayPixmapList noPixmaps() const { return {}; }
    TrayToolTip toolTip() const { return m_item->toolTip(); }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(StatusNotifierItem::menuPath); }
    QString label() const { return m_item->label(); }
    QString labelGuide() const { return m_item->labelGuide(); }

public slots:
    void Activate(int x, int y) { m_item->activate({x, y}); }
    void SecondaryActivate(int x, int y) { m_item->secondaryActivate({x, y}); }
    void ContextMenu(int x, int y) { m_item->contextMenu({x, y}); }
    void Scroll(int delta, const QString& orientation)
    {
        Q_UNUSED(delta);
        Q_UNUSED(orientation);
    }

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    StatusNotifierItem* m_item;
};

int nextInstance()
{
    static int count = 0;
    return ++count;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QString& id, QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_id(id)
    , m_service(QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(nextInstance()))
{
    registerDBusTrayTypes();
    new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (!m_registered)
        return;
    m_bus.unregisterObject(menuPath);
    m_bus.unregisterObject(itemPath);
    m_bus.unregisterService(m_service);
}

bool StatusNotifierItem::isWatcherRegistered(const QDBusConnection& bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(watcherService).value();
}

bool StatusNotifierItem::registerItem()
{
    if (m_registered)
        return true;
    if (!m_bus.isConnected() || !m_bus.registerService(m_service))
        return false;
    if (!m_bus.registerObject(itemPath, this, QDBusConnection::ExportAdaptors) || !m_menu.exportOn(m_bus, menuPath)) {
        m_bus.unregisterObject(itemPath);
        m_bus.unregisterService(m_service);
        return false;
    }
    m_registered = true;
    // A tray that restarts (the panel crashed, the shell reloaded) forgets its items.
    m_watcher = new QDBusServiceWatcher(watcherService, m_bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        registerWithWatcher();
        emit watcherPresenceChanged(true);
    });
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { emit watcherPresenceChanged(false); });
    registerWithWatcher();
    return true;
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(watcherService, QStringLiteral("/StatusNotifierWatcher"),
        watcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    // Not waited for: the GUI thread never blocks on the tray.
    m_bus.asyncCall(call);
}

void StatusNotifierItem::setIcon(const TrayPixmapList& pixmaps)
{
    m_icon = pixmaps;
    emit newIcon();
}

void StatusNotifierItem::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit newTitle();
}

void StatusNotifierItem::setLabel(const QString& label, const QString& guide)
{
    if (label == m_label && guide == m_labelGuide)
        return;
    m_label = label;
    m_labelGuide = guide;
    emit newLabel(label, guide);
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& body)
{
    if (title == m_toolTip.title && body == m_toolTip.body)
        return;
    m_toolTip.title = title;
    m_toolTip.body = body;
    emit newToolTip();
}

void StatusNotifierItem::activate(const QPoint& at)
{
    emit activated(at);
}

void StatusNotifierItem::secondaryActivate(const QPoint& at)
{
    emit secondaryActivated(at);
}

void StatusNotifierItem::contextMenu(const QPoint& at)
{
    emit contextMenuRequested(at);
}

} // namespace platform

#include "StatusNotifierItem.moc"
