#include "HelperInspectorView.h"

#include "PrivacyStyle.h"

#include "core/PoolWork.h"
#include "records/HelperService.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/Layouts.h"

#include "platform/ipc/HelperProtocol.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>

namespace {

// One line for each operation the helper accepts (its whole protocol), and nothing it does not.
QString abilityOf(platform::HelperOp op, bool stop)
{
    switch (op) {
    case platform::HelperOp::sendSignal:
        return stop ? HelperInspectorView::tr("Send SIGSTOP to freeze authorized processes")
                    : HelperInspectorView::tr("Send SIGCONT to resume frozen processes");
    case platform::HelperOp::getPowerMetrics:
        return HelperInspectorView::tr("Read RAPL energy counters (CPU power reading)");
    case platform::HelperOp::pauseFileIndexer:
        return HelperInspectorView::tr("Pause file indexing during compiles");
    case platform::HelperOp::resumeFileIndexer:
        return HelperInspectorView::tr("Restore file indexing after compiles");
    case platform::HelperOp::purgeMemory:
        return HelperInspectorView::tr("Drop the kernel's clean page cache (free memory)");
    case platform::HelperOp::getVersion:
        return HelperInspectorView::tr("Report its version");
    }
    return {};
}

QStringList abilities()
{
    using platform::HelperOp;
    return {abilityOf(HelperOp::sendSignal, true), abilityOf(HelperOp::sendSignal, false),
        abilityOf(HelperOp::getPowerMetrics, false), abilityOf(HelperOp::pauseFileIndexer, false),
        abilityOf(HelperOp::resumeFileIndexer, false), abilityOf(HelperOp::purgeMemory, false),
        abilityOf(HelperOp::getVersion, false)};
}

const char* const kCannot[] = {
    QT_TRANSLATE_NOOP("HelperInspectorView", "Access, read, or modify your files"),
    QT_TRANSLATE_NOOP("HelperInspectorView", "Make network connections of any kind"),
    QT_TRANSLATE_NOOP("HelperInspectorView", "Read the contents of process memory"),
    QT_TRANSLATE_NOOP("HelperInspectorView", "Take any action not in audit log"),
    QT_TRANSLATE_NOOP("HelperInspectorView", "Run without explicit app instructions"),
    QT_TRANSLATE_NOOP("HelperInspectorView", "Freeze kernel or system processes"),
    QT_TRANSLATE_NOOP("HelperInspectorView", "Send SIGKILL (force-kill) signals"),
};

RoundedBox* abilityColumn(const QString& heading, ColorRole role, const QString& marker, const QStringList& items)
{
    auto* column = new RoundedBox(Qt::Vertical, 12, 6, 10);
    column->setFill(role, 0.04);
    column->setStroke(role, 0.15);
    auto* title = new ThemedLabel(heading, Fonts::system(12, QFont::Bold), role);
    title->setWordWrap(true);
    column->box()->addWidget(title);
    for (const QString& item : items) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(new ThemedLabel(marker, Fonts::system(10, QFont::Bold), role), 0, Qt::AlignTop);
        auto* text = new ThemedLabel(item, Fonts::system(10), ColorRole::text);
        text->setWordWrap(true);
        row->addWidget(text, 1);
        column->box()->addLayout(row);
    }
    column->box()->addStretch();
    return column;
}

} // namespace

HelperInspectorView::HelperInspectorView(const PrivacyServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    auto* layout = fillWithCard(this);
    layout->addWidget(cardTitle(tr("Privileged Helper Inspector")));

    layout->addWidget(buildStatusPanel());
    layout->addLayout(buildAbilities());
    buildEntitlements();
    layout->addWidget(m_entitlementToggle, 0, Qt::AlignLeft);
    layout->addWidget(m_entitlements);
    layout->addLayout(buildVerification());
    layout->addLayout(buildActions());
}

QWidget* HelperInspectorView::buildStatusPanel()
{
    auto* panel = new RoundedBox(Qt::Vertical, 12, 8, 10);
    panel->setFill(ColorRole::shade, 0.03);
    m_panelContent = new QWidget;
    auto* content = new QVBoxLayout(m_panelContent);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(8);
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    m_dot = new SymbolLabel(QStringLiteral("circle.fill"), ColorRole::red, 8);
    m_status = new ThemedLabel(QString(), Fonts::system(13, QFont::Bold), ColorRole::text);
    m_version = new ThemedLabel(QString(), Fonts::monospaced(11), ColorRole::secondary);
    statusRow->addWidget(m_dot);
    statusRow->addWidget(m_status);
    statusRow->addStretch();
    statusRow->addWidget(m_version);
    content->addLayout(statusRow);
    content->addWidget(makeDivider(0.1));
    auto* facts = new QGridLayout;
    facts->setHorizontalSpacing(0);
    facts->setVerticalSpacing(4);
    const auto fact = [&](int row, const QString& label, ThemedLabel*& value) {
        auto* name = new ThemedLabel(label, Fonts::system(11), ColorRole::secondary);
        name->setFixedWidth(80);
        value = new ThemedLabel(QString(), Fonts::monospaced(11, QFont::DemiBold), ColorRole::text);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        facts->addWidget(name, row, 0);
        facts->addWidget(value, row, 1);
    };
    // The helper's reverse-domain name, and the systemd unit it runs as (Linux has no signing team).
    fact(0, tr("Helper ID:"), m_bundle);
    fact(1, tr("Unit:"), m_team);
    fact(2, tr("Ownership:"), m_ownership);
    facts->setColumnStretch(1, 1);
    content->addLayout(facts);
    m_panelContent->hide();
    panel->box()->addWidget(m_panelContent);
    return panel;
}

QLayout* HelperInspectorView::buildAbilities()
{
    auto* columns = new QHBoxLayout;
    columns->setSpacing(14);
    QStringList cannot;
    for (const char* item : kCannot)
        cannot << tr(item);
    columns->addWidget(
        abilityColumn(tr("What this helper can do"), ColorRole::green, QStringLiteral("✓"), abilities()), 1);
    columns->addWidget(abilityColumn(tr("What this helper cannot do"), ColorRole::red, QStringLiteral("✗"), cannot), 1);
    return columns;
}

void HelperInspectorView::buildEntitlements()
{
    m_entitlementToggle = linkButton(tr("Technical entitlements"), Fonts::system(12, QFont::DemiBold), ColorRole::text,
        QStringLiteral("chevron.down"));
    m_entitlementToggle->setCheckable(true);
    m_entitlements = new QWidget;
    auto* content = new QVBoxLayout(m_entitlements);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(6);
    m_entitlementSource = new ThemedLabel(QString(), Fonts::system(10), ColorRole::secondary);
    m_entitlementSource->setWordWrap(true);
    content->addWidget(m_entitlementSource);
    m_entitlementLayout = new QVBoxLayout;
    m_entitlementLayout->setContentsMargins(0, 0, 0, 0);
    m_entitlementLayout->setSpacing(6);
    content->addLayout(m_entitlementLayout);
    m_entitlements->hide();
    // Shown once a status lists the installed unit's settings.
    m_entitlementToggle->hide();
    connect(m_entitlementToggle, &QAbstractButton::toggled, this, [this](bool open) {
        m_entitlements->setVisible(open);
        m_entitlementToggle->setLabel(
            m_entitlementToggle->text(), open ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"));
    });
}

QLayout* HelperInspectorView::buildVerification()
{
    auto* verify = new QVBoxLayout;
    verify->setSpacing(6);
    verify->addWidget(
        new ThemedLabel(tr("Verify helper ownership in a terminal:"), Fonts::system(11), ColorRole::secondary));
    auto* commandBox = new RoundedBox(Qt::Horizontal, 8, 8, 6);
    commandBox->setFill(ColorRole::black, 0.4);
    // Cut with "…" where the path is long; the tool tip and the copy hold the whole command.
    auto* command = new ElidedLabel(verifyCommand());
    command->setObjectName(QStringLiteral("verifyCommand"));
    command->setFont(Fonts::monospaced(10));
    command->setThemeColor(roleColor(ColorRole::cyan));
    commandBox->box()->addWidget(command, 1);
    commandBox->box()->addWidget(commandCopyButton([this] { return verifyCommand(); }, m_services));
    verify->addWidget(commandBox);
    return verify;
}

QLayout* HelperInspectorView::buildActions()
{
    auto* actions = new QHBoxLayout;
    actions->setSpacing(12);
    m_reinstall = privacyButton(tr("Reinstall Helper"), QString(), Fonts::system(11, QFont::Bold));
    m_reinstall->setColors(roleColor(ColorRole::text), roleColor(ColorRole::blue));
    m_uninstall = privacyButton(tr("Uninstall Helper"), QString(), Fonts::system(11, QFont::Bold));
    m_uninstall->setColors(roleColor(ColorRole::red), roleColor(ColorRole::red, 0.15));
    m_uninstall->hide(); // offered once a status says a helper is installed
    connect(m_reinstall, &QAbstractButton::clicked, this, &HelperInspectorView::reinstall);
    connect(m_uninstall, &QAbstractButton::clicked, this, &HelperInspectorView::requestUninstall);
    m_message = new ThemedLabel(QString(), Fonts::system(11, QFont::Medium), ColorRole::orange);
    m_message->setWordWrap(true);
    actions->addWidget(m_reinstall);
    actions->addWidget(m_uninstall);
    actions->addWidget(m_message, 1);
    return actions;
}

QString HelperInspectorView::verifyCommand() const
{
    const QString path = shellQuoted(m_services.helperBinary);
    return QStringLiteral("sha256sum %1 && stat -c '%U %a' %1").arg(path);
}

void HelperInspectorView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    load();
}

void HelperInspectorView::load()
{
    std::shared_ptr<HelperService> helper = m_services.helper;
    PrivacyMetricsEngine* engine = m_services.engine;
    runOnPool(
        m_services.pool, this, [helper, engine] { return helper ? helper->status() : engine->helperStatus(); },
        [this](const PrivacyMetricsEngine::HelperStatus& status) {
            setHelperStatus(status);
            emit statusLoaded();
        });
}

void HelperInspectorView::setHelperStatus(const PrivacyMetricsEngine::HelperStatus& status)
{
    m_helperStatus = status;
    if (status.isInstalled && status.isConnected) {
        m_dot->setSymbol(QStringLiteral("circle.fill"), ColorRole::green);
        m_status->setText(tr("Installed and connected"));
    } else if (status.isInstalled) {
        m_dot->setSymbol(QStringLiteral("circle.fill"), ColorRole::orange);
        m_status->setText(tr("Installed, not connected"));
    } else {
        m_dot->setSymbol(QStringLiteral("circle.fill"), ColorRole::red);
        m_status->setText(tr("Not installed"));
    }
    // Only a helper that answered has a version to show.
    const bool known = status.isConnected && status.version && !status.version->empty();
    m_version->setText(known ? QStringLiteral("v") + QString::fromStdString(*status.version) : QStringLiteral("—"));
    m_bundle->setText(QString::fromStdString(status.bundleID));
    m_team->setText(QString::fromStdString(PrivacyMetricsEngine::HelperStatus::helperServiceUnit));
    m_ownership->setText(status.isRootOwned ? tr("Root-owned, writable by root only ✓") : tr("Not verified ⚠"));
    m_ownership->setRole(status.isRootOwned ? ColorRole::green : ColorRole::text);
    m_panelContent->show();

    Layouts::clear(m_entitlementLayout);
    // Without an installed unit there is nothing to list: the section is left out.
    const auto described = status.entitlementDescriptions();
    m_entitlementToggle->setVisible(!described.empty());
    m_entitlements->setVisible(!described.empty() && m_entitlementToggle->isChecked());
    m_reinstall->setLabel(status.isInstalled ? tr("Reinstall Helper") : tr("Install Helper"));
    // There is nothing to uninstall while no helper is installed.
    m_uninstall->setVisible(status.isInstalled);
    m_entitlementSource->setText(sourceText(status));
    for (const auto& [entitlement, description] : described) {
        auto* box = new RoundedBox(Qt::Vertical, 8, 2, 6);
        box->setFill(ColorRole::shade, 0.02);
        // systemd spells out long lists (every system call the filter allows): cut, the tool tip holds all.
        auto* setting = new ElidedLabel(QString::fromStdString(entitlement), 2);
        setting->setFont(Fonts::monospaced(10, QFont::Bold));
        setting->setThemeColor(roleColor(ColorRole::cyan));
        box->box()->addWidget(setting);
        auto* text = new ThemedLabel(QString::fromStdString(description), Fonts::system(10), ColorRole::secondary);
        text->setWordWrap(true);
        box->box()->addWidget(text);
        m_entitlementLayout->addWidget(box);
    }
}

QString HelperInspectorView::statusText() const
{
    return m_panelContent->isHidden() ? QString() : m_status->text();
}

QString HelperInspectorView::versionText() const
{
    return m_version->text();
}

QString HelperInspectorView::ownershipText() const
{
    return m_ownership->text();
}

QString HelperInspectorView::installLabel() const
{
    return m_reinstall->text();
}

bool HelperInspectorView::offersUninstall() const
{
    return !m_uninstall->isHidden();
}

QStringList HelperInspectorView::abilityTexts() const
{
    return abilities();
}

bool HelperInspectorView::offersEntitlements() const
{
    return !m_entitlementToggle->isHidden();
}

QStringList HelperInspectorView::entitlementTexts() const
{
    QStringList out;
    for (auto* widget : m_entitlements->findChildren<QWidget*>()) {
        if (auto* setting = qobject_cast<ElidedLabel*>(widget))
            out << setting->text();
        else if (auto* label = qobject_cast<ThemedLabel*>(widget); label && label != m_entitlementSource)
            out << label->text();
    }
    return out;
}

QString HelperInspectorView::entitlementSourceText() const
{
    return m_entitlementSource->text();
}

QString HelperInspectorView::sourceText(const PrivacyMetricsEngine::HelperStatus& status)
{
    using Source = PrivacyMetricsEngine::HelperStatus::EntitlementSource;
    QStringList files;
    for (const std::string& file : status.entitlementFiles)
        files << QString::fromStdString(file);
    const QString unitFile = files.isEmpty() ? QString() : files.takeFirst();
    switch (status.entitlementSource) {
    case Source::systemd:
        if (unitFile.isEmpty())
            return tr("As systemd applies them.");
        if (files.isEmpty())
            return tr("As systemd applies them, from %1 (no drop-ins).").arg(unitFile);
        return tr("As systemd applies them, from %1 with the drop-ins %2.")
            .arg(unitFile, files.join(QStringLiteral(", ")));
    case Source::unitFile:
        return tr("Read from %1 alone: systemd could not be asked, so changes made in drop-ins (systemctl edit) "
                  "are not shown.")
            .arg(unitFile);
    case Source::none:
        break;
    }
    return {};
}

QString HelperInspectorView::statusMessage() const
{
    return m_message->text();
}

void HelperInspectorView::setBusy(bool busy)
{
    m_busy = busy;
    m_reinstall->setEnabled(!busy);
    m_uninstall->setEnabled(!busy);
}

void HelperInspectorView::finishAction(const QString& message, bool reload)
{
    m_message->setText(message);
    setBusy(false);
    if (reload)
        load();
    emit actionFinished();
}

void HelperInspectorView::reinstall()
{
    if (m_busy || !m_services.helper)
        return;
    // This copy cannot set up the helper: the same answer as the setup page's, without asking for a password.
    if (!m_services.helperSetupUnavailable.isEmpty()) {
        finishAction(m_services.helperSetupUnavailable, false);
        return;
    }
    setBusy(true);
    std::shared_ptr<HelperService> helper = m_services.helper;
    runOnPool(
        m_services.pool, this, [helper] { return helper->install(); },
        [this](const HelperService::Outcome& outcome) {
            finishAction(
                outcome.ok ? tr("Helper installed.") : tr("Registration failed: ") + outcome.error, outcome.ok);
        });
}

void HelperInspectorView::requestUninstall()
{
    if (m_busy || !m_services.helper || !m_helperStatus || !m_helperStatus->isInstalled)
        return;
    if (!m_services.helperSetupUnavailable.isEmpty()) {
        finishAction(m_services.helperSetupUnavailable, false);
        return;
    }
    const Dialogs::Confirmation question {tr("Uninstall the helper?"),
        tr("Quorvane first resumes every process it has suspended, then removes the helper. Processes cannot be "
           "frozen again until the helper is reinstalled."),
        tr("Uninstall Helper"), true};
    m_services.dialogs->confirm(this, question, [guard = QPointer<HelperInspectorView>(this)](bool yes) {
        if (guard && yes)
            guard->uninstall();
    });
}

void HelperInspectorView::uninstall()
{
    setBusy(true);
    std::shared_ptr<HelperService> helper = m_services.helper;
    runOnPool(
        m_services.pool, this, [helper] { return helper->uninstall(); },
        [this](const HelperService::Outcome& outcome) {
            finishAction(
                outcome.ok ? tr("Helper unregistered successfully.") : tr("Unregistration failed: ") + outcome.error,
                outcome.ok);
        });
}
