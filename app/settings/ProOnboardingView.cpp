#include "ProOnboardingView.h"

#include "NotificationPermission.h"

#include "core/PoolWork.h"
#include "records/HelperService.h"
#include "ui/Fonts.h"
#include "ui/Spinner.h"
#include "views/privacy/PrivacyStyle.h"

#include <QHBoxLayout>
#include <QLabel>

#include <cstdio>
#include <initializer_list>

namespace {

PillButton* smallAction(const QString& text)
{
    auto* button = privacyButton(text, QString(), Fonts::system(10, QFont::Bold));
    button->setColors(roleColor(ColorRole::text), roleColor(ColorRole::blue));
    button->setPadding(8, 3);
    button->setCornerRadius(4);
    return button;
}

// One step: its symbol, then its title line over the description and the step's controls.
QLayout* stepRow(
    SymbolLabel* icon, QLayout* titleLine, const QString& description, std::initializer_list<QWidget*> controls)
{
    auto* line = new QHBoxLayout;
    line->setSpacing(10);
    line->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addLayout(titleLine);
    auto* text = new ThemedLabel(description, Fonts::system(10), ColorRole::secondary);
    text->setWordWrap(true);
    texts->addWidget(text);
    // Buttons keep their own width; a wrapped line takes the column's, the width its height is measured at.
    for (QWidget* w : controls)
        texts->addWidget(w, 0, qobject_cast<QLabel*>(w) ? Qt::Alignment() : Qt::AlignLeft);
    line->addLayout(texts, 1);
    return line;
}

QLayout* stepTitle(const QString& text, QWidget* extra = nullptr)
{
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    line->addWidget(new ThemedLabel(text, Fonts::system(12, QFont::Bold), ColorRole::text));
    if (extra)
        line->addWidget(extra);
    line->addStretch();
    return line;
}

} // namespace

ProOnboardingView::ProOnboardingView(std::shared_ptr<HelperService> helper,
    std::shared_ptr<NotificationPermission> notifications, QThreadPool* pool, Continue onContinue, QWidget* parent)
    : QWidget(parent)
    , m_helper(std::move(helper))
    , m_notifications(std::move(notifications))
    , m_pool(pool)
    , m_onContinue(std::move(onContinue))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 12, 0, 12);
    layout->setSpacing(16);
    auto* title = new ThemedLabel(tr("Permissions & Setup"), Fonts::system(18, QFont::Bold), ColorRole::text);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto* subtitle = new ThemedLabel(
        tr("Quorvane Pro does more with these 3 configurations:"), Fonts::system(12), ColorRole::secondary);
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setWordWrap(true);
    subtitle->setContentsMargins(16, 0, 16, 0);
    layout->addWidget(subtitle);

    layout->addLayout(buildSteps());
    layout->addStretch();

    m_continue = privacyButton(tr("Continue"), QString(), Fonts::system(13, QFont::Bold));
    m_continue->setPadding(24, 8);
    connect(m_continue, &QAbstractButton::clicked, this, &ProOnboardingView::continueSetup);
    layout->addWidget(m_continue, 0, Qt::AlignHCenter);
    refresh();
}

QLayout* ProOnboardingView::buildSteps()
{
    auto* steps = new QVBoxLayout;
    steps->setContentsMargins(16, 8, 16, 8);
    steps->setSpacing(14);
    steps->addLayout(stepRow(new SymbolLabel(QStringLiteral("eyes"), ColorRole::blue, 18, 24),
        stepTitle(tr("1. Process Monitoring")), tr("Detects when you run builds (like make or cargo)."), {}));

    m_helperIcon = new SymbolLabel(QStringLiteral("cpu"), ColorRole::blue, 18, 24);
    m_spinner = new Spinner(12);
    m_spinner->hide();
    m_installButton = smallAction(tr("Install Helper Daemon"));
    connect(m_installButton, &QAbstractButton::clicked, this, &ProOnboardingView::installHelper);
    m_installed = new ThemedLabel(tr("Installed ✓"), Fonts::system(10, QFont::Bold), ColorRole::green);
    m_installFailure = new ThemedLabel(QString(), Fonts::system(10, QFont::Bold), ColorRole::red);
    m_installFailure->setWordWrap(true);
    m_unavailable = new ThemedLabel(QString(), Fonts::system(10, QFont::Bold), ColorRole::orange);
    m_unavailable->setWordWrap(true);
    steps->addLayout(stepRow(m_helperIcon, stepTitle(tr("2. Privileged Helper Daemon"), m_spinner),
        tr("Allows us to freeze heavy background processes safely."),
        {m_unavailable, m_installFailure, m_installButton, m_installed}));

    m_bellIcon = new SymbolLabel(QStringLiteral("bell.fill"), ColorRole::blue, 18, 24);
    m_allowButton = smallAction(tr("Allow Notifications"));
    connect(m_allowButton, &QAbstractButton::clicked, this, &ProOnboardingView::allowNotifications);
    m_allowed = new ThemedLabel(tr("Allowed ✓"), Fonts::system(10, QFont::Bold), ColorRole::green);
    m_notificationFailure = new ThemedLabel(
        tr("No notification service answered on this desktop, so Quorvane Pro cannot show notifications. "
           "Start one (for example your desktop's notification daemon), then press again."),
        Fonts::system(10, QFont::Bold), ColorRole::orange);
    m_notificationFailure->setWordWrap(true);
    m_notificationFailure->hide();
    steps->addLayout(stepRow(m_bellIcon, stepTitle(tr("3. Notifications")),
        tr("Alerts you about resource states and what we froze."), {m_notificationFailure, m_allowButton, m_allowed}));
    return steps;
}

void ProOnboardingView::setHelperUnavailable(const QString& why)
{
    m_helperUnavailable = why;
    refresh();
}

void ProOnboardingView::installHelper()
{
    // One install at a time: a second press while the first runs would open a second password prompt.
    if (m_isRegistering || m_hasInstalledHelper || !m_helperUnavailable.isEmpty())
        return;
    m_isRegistering = true;
    refresh();
    runOnPool(
        m_pool, this, [helper = m_helper] { return helper->install(); },
        [this](const HelperService::Outcome& outcome) {
            m_isRegistering = false;
            m_installAttempted = true;
            m_hasInstalledHelper = outcome.ok;
            m_installError = outcome.ok ? QString() : outcome.error;
            if (!outcome.ok)
                std::fprintf(stderr, "Helper installation failed: %s\n", qPrintable(outcome.error));
            refresh();
            emit installFinished();
        });
}

void ProOnboardingView::allowNotifications()
{
    if (m_isAsking)
        return;
    m_isAsking = true;
    runOnPool(
        m_pool, this, [notifications = m_notifications] { return notifications->request(); },
        [this](const bool& granted) {
            m_isAsking = false;
            m_hasGrantedNotifications = granted;
            m_notificationsRefused = !granted;
            refresh();
            emit notificationsAnswered();
        });
}

void ProOnboardingView::continueSetup()
{
    if (canContinue() && m_onContinue)
        m_onContinue(m_hasInstalledHelper);
}

QString ProOnboardingView::helperStateText() const
{
    if (m_hasInstalledHelper)
        return m_installed->text();
    if (!m_helperUnavailable.isEmpty())
        return m_helperUnavailable;
    return m_installFailure->isHidden() ? QString() : m_installFailure->text();
}

QString ProOnboardingView::notificationStateText() const
{
    if (m_hasGrantedNotifications)
        return m_allowed->text();
    return m_notificationsRefused ? m_notificationFailure->text() : QString();
}

QString ProOnboardingView::installButtonText() const
{
    return m_installButton->isHidden() ? QString() : m_installButton->text();
}

void ProOnboardingView::refresh()
{
    m_helperIcon->setSymbol(QStringLiteral("cpu"), m_hasInstalledHelper ? ColorRole::green : ColorRole::blue);
    m_spinner->setVisible(m_isRegistering);
    m_installButton->setVisible(!m_hasInstalledHelper && m_helperUnavailable.isEmpty());
    m_unavailable->setText(m_helperUnavailable);
    m_unavailable->setVisible(!m_helperUnavailable.isEmpty());
    m_installButton->setLabel(m_installError.isEmpty() ? tr("Install Helper Daemon") : tr("Retry"));
    m_installButton->setEnabled(!m_isRegistering);
    m_installed->setVisible(m_hasInstalledHelper);
    m_installFailure->setVisible(!m_installError.isEmpty());
    m_installFailure->setText(tr("Helper installation failed: ") + m_installError);
    m_bellIcon->setSymbol(QStringLiteral("bell.fill"), m_hasGrantedNotifications ? ColorRole::green : ColorRole::blue);
    m_allowButton->setVisible(!m_hasGrantedNotifications);
    m_allowed->setVisible(m_hasGrantedNotifications);
    m_notificationFailure->setVisible(m_notificationsRefused);
    m_continue->setEnabled(canContinue());
    m_continue->setColors(roleColor(ColorRole::text), roleColor(canContinue() ? ColorRole::blue : ColorRole::grey, 1));
}
