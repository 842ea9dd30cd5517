#include "RunningAppsStrip.h"

#include "AppDirectory.h"

#include "engines/DashboardViewModel.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

class RunningAppsStrip::AppButton : public QAbstractButton
{
public:
    explicit AppButton(QWidget* parent)
        : QAbstractButton(parent)
    {
        setFixedSize(18, 20);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        connect(this, &QAbstractButton::clicked, this, [this] { platform::DesktopAppRegistry::activate(entry); });
    }
    void set(const platform::DesktopEntry& e)
    {
        if (e == entry)
            return;
        entry = e;
        icon = AppDirectory::icon(e);
        const QString name = e.name.isEmpty() ? tr("Application") : e.name;
        setToolTip(name);
        setAccessibleName(name);
        update();
    }
    platform::DesktopEntry entry;
    QIcon icon;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (icon.isNull())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(0, 0, 18, 18);
        QPainterPath clip;
        clip.addRoundedRect(r, 3, 3);
        // The small shadow below the icon.
        p.fillPath(clip.translated(0, 1), QColor(0, 0, 0, qRound(0.3 * 255)));
        p.setClipPath(clip);
        icon.paint(&p, r.toRect());
    }
};

RunningAppsStrip::RunningAppsStrip(AppDirectory& apps, DashboardViewModel& dashboardVM, QWidget* parent)
    : QWidget(parent)
    , m_apps(apps)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 0);
    row->setSpacing(8);
    for (int i = 0; i < kMaxApps; ++i) {
        m_buttons << new AppButton(this);
        m_buttons.last()->hide();
        row->addWidget(m_buttons.last());
    }
    row->addStretch(1);
    setFixedHeight(22);
    connect(&m_apps, &AppDirectory::runningApplicationsChanged, this, &RunningAppsStrip::rebuild);
    // Listed again on each tick while the popover shows.
    connect(&dashboardVM, &DashboardViewModel::figuresChanged, this, [this] {
        if (isVisible())
            m_apps.refreshRunning();
    });
}

void RunningAppsStrip::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_apps.refreshRunning();
}

int RunningAppsStrip::appCount() const
{
    return int(std::count_if(m_buttons.begin(), m_buttons.end(), [](const AppButton* b) { return !b->isHidden(); }));
}

QStringList RunningAppsStrip::toolTips() const
{
    QStringList out;
    for (const AppButton* b : m_buttons) {
        if (!b->isHidden())
            out << b->toolTip();
    }
    return out;
}

void RunningAppsStrip::rebuild()
{
    const auto& running = m_apps.runningApplications();
    for (int i = 0; i < kMaxApps; ++i) {
        if (i < running.size()) {
            m_buttons[i]->set(running[i].entry);
            m_buttons[i]->show();
        } else {
            m_buttons[i]->hide();
        }
    }
}
