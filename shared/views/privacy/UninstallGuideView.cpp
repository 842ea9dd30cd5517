#include "UninstallGuideView.h"

#include "GranularClearView.h"
#include "HelperService.h"
#include "PrivacyStyle.h"

#include "ui/Contrast.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>

namespace {

struct StepText
{
    const char* title;
    const char* description;
    const char* button;
};

const StepText kSteps[4] = {
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Remove Privileged Helper"),
        QT_TRANSLATE_NOOP("UninstallGuideView",
            "Resumes every suspended process, then removes the helper's systemd units and binaries."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Remove Privileged Helper")},
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Clear All Local Data"),
        QT_TRANSLATE_NOOP(
            "UninstallGuideView", "Wipes all application support logs, memory history, and stored preferences."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Clear All Data")},
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Remove the Quorvane Program"),
        QT_TRANSLATE_NOOP("UninstallGuideView",
            "Quorvane never deletes itself while it runs. Quit it, then run the copied command in a terminal."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Copy Removal Command")},
    {QT_TRANSLATE_NOOP("UninstallGuideView", "Verify Complete Removal"),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Performs full system path audit to confirm no orphan files remain."),
        QT_TRANSLATE_NOOP("UninstallGuideView", "Verify Removal")},
};

QString joinedLabels(const std::vector<PrivacyMetricsEngine::ClearableDataType>& types)
{
    QStringList names;
    for (const auto type : types)
        names << QString::fromStdString(std::string(rawValue(type)));
    return names.join(QStringLiteral(", "));
}

} // namespace

UninstallGuideView::UninstallGuideView(const PrivacyServices& services, QString programPath, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_programPath(programPath.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(programPath))
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
        auto* description = new ThemedLabel(tr(kSteps[i].description), Fonts::system(10), ColorRole::secondary);
        description->setWordWrap(true);
        texts->addWidget(description);
        if (i == 2) {
            auto* where = new ThemedLabel(m_programPath, Fonts::monospaced(9), ColorRole::cyan);
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
    refreshSteps();
}

QString UninstallGuideView::buttonLabel(int step) const
{
    if (step == 4 && m_isVerifying)
        return tr("Verifying...");
    QString label = m_steps[step - 1].label;
    return m_completed.count(step) ? label + QStringLiteral(" ✓") : label;
}

QString UninstallGuideView::removeProgramCommand() const
{
    const QFileInfo program(m_programPath);
    const bool ownFolder = QFileInfo(program.absolutePath()).isWritable();
    return (ownFolder ? QStringLiteral("rm ") : QStringLiteral("sudo rm ")) + shellQuoted(m_programPath);
}

void UninstallGuideView::pressStep(int step)
{
    if (step < 1 || step > 4 || m_running.count(step) || (step != 4 && m_completed.count(step)))
        return;
    m_status->hide();
    switch (step) {
    case 1:
        removeHelper();
        break;
    case 2:
        clearAllData();
        break;
    case 3:
        copyRemovalCommand();
        break;
    case 4:
        verify();
        break;
    }
}

void UninstallGuideView::removeHelper()
{
    if (!m_services.helper)
        return;
    const Dialogs::Confirmation question {tr("Remove the privileged helper?"),
        tr("Quorvane first resumes every process it has suspended, then removes the helper's units and binaries."),
        tr("Remove Helper"), true};
    m_services.dialogs->confirm(this, question, [guard = QPointer<UninstallGuideView>(this)](bool yes) {
        if (!guard || !yes)
            return;
        guard->m_running.insert(1);
        guard->refreshSteps();
        HelperService* helper = guard->m_services.helper;
        runAsync<HelperService::Outcome>(
            guard, [helper] { return helper->uninstall(); },
            [view = guard.data()](const HelperService::Outcome& outcome) {
                view->m_running.erase(1);
                if (outcome.ok)
                    view->markDone(1);
                else
                    view->showFailure(tr("Could not remove the helper: ") + outcome.error);
                emit view->stepFinished(1);
            });
    });
}

void UninstallGuideView::clearAllData()
{
    const Dialogs::Confirmation question {
        tr("Clear all Quorvane data?"), GranularClearView::clearEverythingMessage(), tr("Clear Everything"), true};
    m_services.dialogs->confirm(this, question, [guard = QPointer<UninstallGuideView>(this)](bool yes) {
        if (!guard || !yes)
            return;
        guard->m_running.insert(2);
        guard->refreshSteps();
        PrivacyMetricsEngine* engine = guard->m_services.engine;
        runAsync<std::vector<PrivacyMetricsEngine::ClearableDataType>>(
            guard, [engine] { return engine->clearAllData(); },
            [view = guard.data()](const std::vector<PrivacyMetricsEngine::ClearableDataType>& failed) {
                view->m_running.erase(2);
                if (failed.empty())
                    view->markDone(2);
                else
                    view->showFailure(tr("Could not clear: ") + joinedLabels(failed));
                emit view->stepFinished(2);
            });
    });
}

void UninstallGuideView::copyRemovalCommand()
{
    m_services.desktop->copyText(removeProgramCommand());
    markDone(3);
    emit stepFinished(3);
}

void UninstallGuideView::verify()
{
    m_isVerifying = true;
    refreshSteps();
    PrivacyMetricsEngine* engine = m_services.engine;
    runAsync<PrivacyMetricsEngine::UninstallVerification>(
        this, [engine] { return engine->verifyCompleteRemoval(); },
        [this](const PrivacyMetricsEngine::UninstallVerification& result) {
            m_verification = result;
            m_isVerifying = false;
            showVerification();
            markDone(4);
            emit stepFinished(4);
        });
}

void UninstallGuideView::markDone(int step)
{
    m_completed.insert(step);
    refreshSteps();
}

void UninstallGuideView::showFailure(const QString& text)
{
    m_status->setText(text);
    m_status->show();
    refreshSteps();
}

QString UninstallGuideView::statusText() const
{
    return m_status->isHidden() ? QString() : m_status->text();
}

void UninstallGuideView::refreshSteps()
{
    for (int i = 0; i < 4; ++i) {
        const int number = i + 1;
        const bool done = m_completed.count(number) > 0;
        Step& step = m_steps[i];
        step.badge->setFill(done ? ColorRole::green : ColorRole::shade, done ? 1.0 : 0.1);
        step.badgeText->setText(done ? QStringLiteral("✓") : QString::number(number));
        // The check mark on the green badge in a colour that reads on it.
        step.badgeText->setColor(done ? ThemeColor([](const Palette& p) {
            return Contrast::readableOn(roleColor(ColorRole::green)(p), roleColor(ColorRole::text)(p));
        })
                                      : roleColor(ColorRole::text));
        step.button->setLabel(buttonLabel(number));
        if (done && !(number == 4 && m_isVerifying))
            step.button->setColors(roleColor(ColorRole::green), roleColor(ColorRole::green, 0.2));
        else
            step.button->setColors(roleColor(ColorRole::text), roleColor(ColorRole::blue));
        step.button->setEnabled(!done && !m_running.count(number));
    }
}

void UninstallGuideView::showVerification()
{
    while (QLayoutItem* item = m_auditLayout->takeAt(0)) {
        if (item->layout()) {
            while (QLayoutItem* inner = item->layout()->takeAt(0)) {
                delete inner->widget();
                delete inner;
            }
        }
        delete item->widget();
        delete item;
    }
    const bool clean = m_verification->isClean();
    auto* verdict = new QHBoxLayout;
    verdict->setSpacing(6);
    const ColorRole verdictRole = clean ? ColorRole::green : ColorRole::orange;
    verdict->addWidget(
        new SymbolLabel(clean ? QStringLiteral("checkmark.seal.fill") : QStringLiteral("exclamationmark.triangle.fill"),
            verdictRole, 14));
    auto* verdictText = new ThemedLabel(clean ? tr("Complete Removal Confirmed ✓") : tr("Partial Removal Detected"),
        Fonts::system(12, QFont::Bold), verdictRole);
    verdictText->setObjectName(QStringLiteral("verdict"));
    verdict->addWidget(verdictText);
    verdict->addStretch();
    m_auditLayout->addLayout(verdict);
    for (const auto& check : m_verification->checks) {
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
        auto* status = new ThemedLabel(!check.exists ? tr("Removed") : (check.isEmpty ? tr("Empty") : tr("Exists")),
            Fonts::system(10, QFont::Bold), leftover ? ColorRole::red : ColorRole::secondary);
        status->setObjectName(QStringLiteral("checkStatus"));
        row->box()->addWidget(status);
        m_auditLayout->addWidget(row);
    }
    m_audit->show();
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
