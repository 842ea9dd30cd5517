#include "UninstallGuideView.h"

#include "GranularClearView.h"
#include "PrivacyPageState.h"
#include "PrivacyStyle.h"

#include "core/HomeRelativePath.h"
#include "core/PoolWork.h"
#include "records/HelperService.h"
#include "ui/Contrast.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/Layouts.h"

#include <QHBoxLayout>
#include <QPointer>

namespace {

struct StepText
{
    const char* title;
    const char* description;
    const char* button;
};

// The package's removal scripts stop the helper, resume what it holds suspended and remove the
// program, the helper, their units and the polkit action; the user's own files stay, so they are
// erased and checked first, while the program still runs.
const StepText kSteps[4] = {
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Remove Privileged Helper"),
        QT_TRANSLATE_NOOP("UninstallGuideView",
            "Resumes every suspended process, then stops the helper and switches off its systemd socket and "
            "service. Its program files go with the package in step 4."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Remove Privileged Helper")},
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Clear All Local Data"),
        // The records and settings folders where this run keeps them.
        QT_TRANSLATE_NOOP(
            "UninstallGuideView", "Erases your records in %1 and your settings in %2, and turns off launch at login."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Clear All Data")},
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Verify Nothing Stays Behind"),
        QT_TRANSLATE_NOOP("UninstallGuideView",
            "While Quorvane still runs, checks every place removing the package leaves alone: your records, "
            "settings and autostart entry, and helper units an older install put in /etc/systemd/system."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Verify Removal")},
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Remove the Quorvane Package"),
        QT_TRANSLATE_NOOP("UninstallGuideView",
            "Quit Quorvane, then run the copied command in a terminal. apt stops the helper, resumes any "
            "suspended process and removes the program, the helper, their systemd units, the polkit action and "
            "the helper's audit log in /var/log/quorvane. Your records and settings stay unless step 2 erased "
            "them."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Copy Removal Command")},
};

} // namespace

UninstallGuideView::UninstallGuideView(const PrivacyServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_state(services.pageState ? services.pageState : new PrivacyPageState(this))
{
    auto* layout = fillWithCard(this);
    layout->addWidget(cardTitle(tr("Uninstall Quorvane")));
    auto* intro = new ThemedLabel(tr("To completely remove Quorvane and its privileged components from your computer, "
                                     "follow these steps in order:"),
        Fonts::system(11), ColorRole::secondary);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* steps = new QVBoxLayout;
    steps->setSpacing(12);
    for (int i = 0; i < 4; ++i) {
        auto* row = new RoundedBox(Qt::Horizontal, 8, 12, 8);
        row->setFill(ColorRole::shade, 0.02);
        Step& step = m_steps[i];
        step.badge = new RoundedBox(Qt::Vertical, 0, 0, 11);
        step.badge->setFixedSize(22, 22);
        step.badgeText = new ThemedLabel(QString(), Fonts::system(11, QFont::Bold), ColorRole::text);
        step.badgeText->setAlignment(Qt::AlignCenter);
        step.badge->box()->addWidget(step.badgeText);
        row->box()->addWidget(step.badge, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(4);
        texts->addWidget(new ThemedLabel(tr(kSteps[i].title), Fonts::system(12, QFont::Bold), ColorRole::text));
        QString text = tr(kSteps[i].description);
        if (i == kClearData - 1)
            text = text.arg(homeRelativePath(m_services.dataDirectory), homeRelativePath(m_services.settingsDirectory));
        auto* description = new ThemedLabel(text, Fonts::system(10), ColorRole::secondary);
        description->setWordWrap(true);
        texts->addWidget(description);
        if (i == kRemovePackage - 1) {
            auto* where = new ThemedLabel(removeProgramCommand(), Fonts::monospaced(9), ColorRole::cyan);
            where->setTextInteractionFlags(Qt::TextSelectableByMouse);
            where->setWordWrap(true);
            texts->addWidget(where);
        }
        step.label = tr(kSteps[i].button);
        step.button = privacyButton(step.label, QString(), Fonts::system(10, QFont::Bold));
        step.button->setPadding(10, 4);
        step.button->setCornerRadius(4);
        connect(step.button, &QAbstractButton::clicked, this, [this, i] { pressStep(i + 1); });
        texts->addWidget(step.button, 0, Qt::AlignLeft);
        row->box()->addLayout(texts, 1);
        steps->addWidget(row);
    }
    layout->addLayout(steps);

    m_status = new ThemedLabel(QString(), Fonts::system(11, QFont::Medium), ColorRole::red);
    m_status->setWordWrap(true);
    m_status->hide();
    layout->addWidget(m_status);

    m_audit = new RoundedBox(Qt::Vertical, 12, 8, 10);
    m_audit->setFill(ColorRole::shade, 0.03);
    m_auditLayout = m_audit->box();
    m_audit->hide();
    layout->addWidget(m_audit);
    connect(m_state, &PrivacyPageState::uninstallChanged, this, &UninstallGuideView::showState);
    connect(m_state, &PrivacyPageState::uninstallStepFinished, this, &UninstallGuideView::stepFinished);
    showState();
}

const std::set<int>& UninstallGuideView::completedSteps() const
{
    return m_state->uninstall().completed;
}

const std::optional<PrivacyMetricsEngine::UninstallVerification>& UninstallGuideView::verificationResult() const
{
    return m_state->uninstall().verification;
}

bool UninstallGuideView::isVerifying() const
{
    return m_state->uninstall().verifying;
}

QString UninstallGuideView::buttonLabel(int step) const
{
    if (step == kVerify && isVerifying())
        return tr("Verifying...");
    QString label = m_steps[step - 1].label;
    return completedSteps().count(step) ? label + QStringLiteral(" ✓") : label;
}

QString UninstallGuideView::removeProgramCommand()
{
    // Purging runs the package's removal scripts: they resume what the helper suspended, stop and
    // remove its units, and delete its runtime folder and audit log.
    return QStringLiteral("sudo apt purge quorvane-pro");
}

void UninstallGuideView::pressStep(int step)
{
    const auto& steps = m_state->uninstall();
    if (step < 1 || step > 4 || steps.running.count(step) || (step != kVerify && steps.completed.count(step)))
        return;
    m_state->changeUninstall([](PrivacyPageState::Uninstall& u) { u.failure.clear(); });
    switch (step) {
    case kRemoveHelper:
        removeHelper();
        break;
    case kClearData:
        clearAllData();
        break;
    case kVerify:
        verify();
        break;
    case kRemovePackage:
        copyRemovalCommand();
        break;
    }
}

// The steps' work reports to the page state, which outlives this card: the erasure of step 2 resets a
// chosen theme, and the page is built anew before the work ends.
void UninstallGuideView::removeHelper()
{
    if (!m_services.helper)
        return;
    const Dialogs::Confirmation question {tr("Remove the privileged helper?"),
        tr("Quorvane first resumes every process it has suspended, then stops the helper and switches it off."),
        tr("Remove Helper"), true};
    m_services.dialogs->confirm(this, question, [guard = QPointer<UninstallGuideView>(this)](bool yes) {
        if (!guard || !yes)
            return;
        PrivacyPageState* state = guard->m_state;
        state->changeUninstall([](PrivacyPageState::Uninstall& u) { u.running.insert(kRemoveHelper); });
        std::shared_ptr<HelperService> helper = guard->m_services.helper;
        runOnPool(
            guard->m_services.pool, state, [helper] { return helper->uninstall(); },
            [state](const HelperService::Outcome& outcome) {
                state->changeUninstall([&](PrivacyPageState::Uninstall& u) {
                    u.running.erase(kRemoveHelper);
                    if (outcome.ok)
                        u.completed.insert(kRemoveHelper);
                    else
                        u.failure = tr("Could not remove the helper: ") + outcome.error;
                });
                emit state->uninstallStepFinished(kRemoveHelper);
            });
    });
}

void UninstallGuideView::clearAllData()
{
    const Dialogs::Confirmation question {tr("Clear all Quorvane data?"),
        GranularClearView::clearEverythingMessage(m_services.dataDirectory), tr("Clear Everything"), true};
    m_services.dialogs->confirm(this, question, [guard = QPointer<UninstallGuideView>(this)](bool yes) {
        if (!guard || !yes)
            return;
        PrivacyPageState* state = guard->m_state;
        state->changeUninstall([](PrivacyPageState::Uninstall& u) { u.running.insert(kClearData); });
        PrivacyMetricsEngine* engine = guard->m_services.engine;
        runOnPool(
            guard->m_services.pool, state, [engine] { return engine->clearAllData(); },
            [state](const std::vector<PrivacyMetricsEngine::ClearableDataType>& failed) {
                state->changeUninstall([&](PrivacyPageState::Uninstall& u) {
                    u.running.erase(kClearData);
                    if (failed.empty())
                        u.completed.insert(kClearData);
                    else
                        u.failure = tr("Could not clear: ") + GranularClearView::joinedLabels(failed);
                });
                emit state->uninstallStepFinished(kClearData);
            });
    });
}

void UninstallGuideView::copyRemovalCommand()
{
    m_services.desktop->copyText(removeProgramCommand());
    m_state->changeUninstall([](PrivacyPageState::Uninstall& u) { u.completed.insert(kRemovePackage); });
    emit m_state->uninstallStepFinished(kRemovePackage);
}

void UninstallGuideView::verify()
{
    PrivacyPageState* state = m_state;
    state->changeUninstall([](PrivacyPageState::Uninstall& u) { u.verifying = true; });
    PrivacyMetricsEngine* engine = m_services.engine;
    runOnPool(
        m_services.pool, state, [engine] { return engine->verifyCompleteRemoval(); },
        [state](const PrivacyMetricsEngine::UninstallVerification& result) {
            state->changeUninstall([&](PrivacyPageState::Uninstall& u) {
                u.verification = result;
                u.verifying = false;
                for (const auto& check : result.checks) {
                    if (check.exists)
                        u.seenPaths.insert(check.path);
                }
                // The step's tick says nothing stays behind: an audit that finds leftovers takes it away.
                if (result.isClean())
                    u.completed.insert(kVerify);
                else
                    u.completed.erase(kVerify);
            });
            emit state->uninstallStepFinished(kVerify);
        });
}

void UninstallGuideView::showState()
{
    const auto& steps = m_state->uninstall();
    m_status->setText(steps.failure);
    m_status->setVisible(!steps.failure.isEmpty());
    refreshSteps();
    if (steps.verification)
        showVerification();
    else
        m_audit->hide();
}

QString UninstallGuideView::statusText() const
{
    return m_status->isHidden() ? QString() : m_status->text();
}

void UninstallGuideView::refreshSteps()
{
    for (int i = 0; i < 4; ++i) {
        const int number = i + 1;
        const bool done = completedSteps().count(number) > 0;
        Step& step = m_steps[i];
        step.badge->setFill(done ? ColorRole::green : ColorRole::shade, done ? 1.0 : 0.1);
        step.badgeText->setText(done ? QStringLiteral("✓") : QString::number(number));
        // The check mark on the green badge in a colour that reads on it.
        step.badgeText->setColor(done ? ThemeColor([](const Palette& p) {
            return Contrast::readableOn(roleColor(ColorRole::green)(p), roleColor(ColorRole::text)(p));
        })
                                      : roleColor(ColorRole::text));
        step.button->setLabel(buttonLabel(number));
        if (done && !(number == kVerify && isVerifying()))
            step.button->setColors(roleColor(ColorRole::green), roleColor(ColorRole::green, 0.2));
        else
            step.button->setColors(roleColor(ColorRole::text), roleColor(ColorRole::blue));
        step.button->setEnabled(!done && !m_state->uninstall().running.count(number));
    }
}

void UninstallGuideView::showVerification()
{
    Layouts::clear(m_auditLayout);
    const auto& verification = *m_state->uninstall().verification;
    const bool clean = verification.isClean();
    auto* verdict = new QHBoxLayout;
    verdict->setSpacing(6);
    const ColorRole verdictRole = clean ? ColorRole::green : ColorRole::orange;
    verdict->addWidget(
        new SymbolLabel(clean ? QStringLiteral("checkmark.seal.fill") : QStringLiteral("exclamationmark.triangle.fill"),
            verdictRole, 14));
    // Checked before the package goes: what is confirmed is that nothing would stay behind it.
    auto* verdictText = new ThemedLabel(
        clean ? tr("Nothing Stays Behind ✓") : tr("Leftovers Found"), Fonts::system(12, QFont::Bold), verdictRole);
    verdictText->setObjectName(QStringLiteral("verdict"));
    verdict->addWidget(verdictText);
    verdict->addStretch();
    m_auditLayout->addLayout(verdict);
    for (const auto& check : verification.checks) {
        auto* row = new RoundedBox(Qt::Horizontal, 6, 8, 6);
        row->setFill(ColorRole::shade, 0.02);
        const bool leftover = check.exists && !check.isEmpty;
        row->box()->addWidget(
            new SymbolLabel(leftover ? QStringLiteral("xmark.circle.fill") : QStringLiteral("checkmark.circle.fill"),
                leftover ? ColorRole::red : ColorRole::green, 11));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(new ThemedLabel(
            QString::fromStdString(check.description), Fonts::system(11, QFont::Medium), ColorRole::text));
        auto* path = new ThemedLabel(QString::fromStdString(check.path), Fonts::monospaced(9), ColorRole::secondary);
        path->setWordWrap(true);
        texts->addWidget(path);
        row->box()->addLayout(texts, 1);
        auto* status = new ThemedLabel(
            checkStatus(check), Fonts::system(10, QFont::Bold), leftover ? ColorRole::red : ColorRole::secondary);
        status->setObjectName(QStringLiteral("checkStatus"));
        row->box()->addWidget(status);
        m_auditLayout->addWidget(row);
    }
    m_audit->show();
}

QString UninstallGuideView::checkStatus(const PrivacyMetricsEngine::UninstallVerification::PathCheck& check) const
{
    if (check.exists)
        return check.isEmpty ? tr("Empty") : tr("Exists");
    return m_state->uninstall().seenPaths.count(check.path) ? tr("Removed") : tr("Not installed");
}

QString UninstallGuideView::verdictText() const
{
    auto* label = m_audit->findChild<ThemedLabel*>(QStringLiteral("verdict"));
    return label && !m_audit->isHidden() ? label->text() : QString();
}

QStringList UninstallGuideView::checkStatusTexts() const
{
    QStringList out;
    for (auto* label : m_audit->findChildren<ThemedLabel*>(QStringLiteral("checkStatus")))
        out << label->text();
    return out;
}
