#include "ModelAdvisorView.h"

#include "AdvisorQuestionnaireView.h"
#include "AdvisorStyle.h"
#include "AdvisorTexts.h"
#include "AdvisorViewModel.h"
#include "FrameworkAdvisorView.h"
#include "MacPotentialView.h"
#include "ModelsTabCompanions.h"
#include "RecommendationCardView.h"

#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/FittedWindow.h"
#include "ui/Layouts.h"

#include "records/ThemeManager.h"

#include <QBoxLayout>
#include <QDialog>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>

using AdvisorStyle::TextStyle;

namespace {

QWidget* inset(QWidget* widget, int horizontal, int vertical = 0)
{
    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(horizontal, vertical, horizontal, vertical);
    layout->addWidget(widget);
    return holder;
}

} // namespace

ModelAdvisorView::ModelAdvisorView(QWidget* parent)
    : ModelAdvisorView(
        std::make_unique<AdvisorViewModel>(), Desktop::system(), Dialogs::system(), Clock::system(), parent)
{
}

ModelAdvisorView::ModelAdvisorView(
    std::unique_ptr<AdvisorViewModel> viewModel, Desktop& desktop, Dialogs& dialogs, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(std::move(viewModel))
    , m_desktop(desktop)
    , m_dialogs(dialogs)
    , m_clock(clock)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    buildContent();

    AdvisorViewModel* vm = m_viewModel.get();
    for (auto signal : {&AdvisorViewModel::recommendationsChanged, &AdvisorViewModel::installedRankingsChanged,
             &AdvisorViewModel::notRecommendedChanged, &AdvisorViewModel::isLoadingChanged,
             &AdvisorViewModel::lastContextChanged}) {
        connect(vm, signal, this, &ModelAdvisorView::rebuildModelsTab);
    }
    connect(vm, &AdvisorViewModel::macProfileChanged, this, [this] {
        m_potential->setProfile(m_viewModel->macProfile(), m_viewModel->appleSiliconDetected());
        rebuildModelsTab();
    });
    connect(vm, &AdvisorViewModel::frameworkRecommendationsChanged, this,
        [this] { m_frameworks->setRecommendations(m_viewModel->frameworkRecommendations()); });
    // Every part takes its colours when it is built; a new theme builds them all again, so no part
    // keeps the old theme beside parts in the new one.
    followTheme(ThemeManager::shared(), this, [this](const Palette&) {
        QMetaObject::invokeMethod(this, &ModelAdvisorView::rebuildForTheme, Qt::QueuedConnection);
    });
}

void ModelAdvisorView::buildContent()
{
    const Palette palette = Palette::current();
    AdvisorStyle::fillBackground(this, palette);
    m_content = new QWidget(this);

    m_tabBar = new QTabBar;
    m_tabBar->setExpanding(true);
    m_tabBar->setDrawBase(false);
    m_tabBar->addTab(tr("Models"));
    m_tabBar->addTab(tr("Frameworks"));
    m_tabBar->addTab(tr("Your Computer"));
    m_tabBar->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 12px; color: %1; background: %2;"
                                           " border: none; }"
                                           "QTabBar::tab:selected { color: %3; background: %4; border-radius: 5px; }")
                                .arg(palette.text.name(), withOpacity(palette.secondaryText, 0.1).name(QColor::HexArgb),
                                    palette.onTint(palette.accent).name(), palette.accent.name()));

    auto* modelsContent = new QWidget;
    m_modelsColumn = new QVBoxLayout(modelsContent);
    m_modelsColumn->setContentsMargins(0, 16, 0, 20);
    m_modelsColumn->setSpacing(16);
    m_modelsScroll = AdvisorStyle::scrollArea(modelsContent, palette);

    m_frameworks = new FrameworkAdvisorView(m_viewModel->frameworkRecommendations(), m_desktop, m_clock);
    m_potential = new MacPotentialView(
        m_viewModel->macProfile(), m_viewModel->appleSiliconDetected(), m_desktop, m_dialogs, m_clock);

    m_pages = new QStackedWidget;
    m_pages->addWidget(m_modelsScroll);
    m_pages->addWidget(m_frameworks);
    m_pages->addWidget(m_potential);

    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(inset(m_tabBar, 20, 0));
    column->itemAt(0)->widget()->layout()->setContentsMargins(20, 16, 20, 0);
    column->addWidget(m_pages, 1);
    layout()->addWidget(m_content);

    m_tabBar->setCurrentIndex(static_cast<int>(m_selectedTab));
    m_pages->setCurrentIndex(static_cast<int>(m_selectedTab));
    connect(m_tabBar, &QTabBar::currentChanged, this, [this](int index) {
        m_selectedTab = static_cast<AdvisorTab>(index);
        m_pages->setCurrentIndex(index);
    });
    rebuildModelsTab();
}

void ModelAdvisorView::rebuildForTheme()
{
    // The cards go with the old content; the tab, the view model and an open questionnaire stay.
    m_cards.clear();
    delete m_content;
    buildContent();
}

ModelAdvisorView::~ModelAdvisorView()
{
    // The dialog is a child window; close it before the view model it reports to goes.
    delete m_sheet;
}

void ModelAdvisorView::setSelectedTab(AdvisorTab tab)
{
    m_tabBar->setCurrentIndex(static_cast<int>(tab));
}

ModelAdvisorView::ModelsState ModelAdvisorView::modelsState() const
{
    // A run that found nothing still has results to show: that nothing fits, and why.
    if (m_viewModel->recommendations().empty() && !m_viewModel->isLoading() && !m_viewModel->lastContext())
        return ModelsState::prompt;
    if (m_viewModel->isLoading())
        return ModelsState::loading;
    return ModelsState::results;
}

void ModelAdvisorView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_loadStarted) {
        m_loadStarted = true;
        m_viewModel->load();
    }
}

AdvisorQuestionnaireView* ModelAdvisorView::questionnaire() const
{
    return m_sheet ? m_sheet->findChild<AdvisorQuestionnaireView*>() : nullptr;
}

void ModelAdvisorView::openQuestionnaire()
{
    if (m_sheet)
        return;
    auto* sheet = new QDialog(this);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowTitle(tr("Model Questionnaire"));
    const auto& profile
        = m_viewModel->macProfile() ? *m_viewModel->macProfile() : MacCapabilityProfile::defaultProfile();
    QPointer<QDialog> guard(sheet);
    auto* questionnaire = new AdvisorQuestionnaireView(
        [this, guard](const UserRecommendationContext& context) {
            // Closing deletes the dialog later, once the button press that got here has unwound.
            if (guard)
                guard->close();
            m_sheet.clear();
            m_viewModel->runRecommendations(context);
        },
        profile, sheet);
    // The panel has one size, and the dialog takes it as its own (on a screen too small for it, what there
    // is, the panel scrolling inside).
    FittedWindow::holdContent(sheet, questionnaire);
    FittedWindow::fix(sheet, {AdvisorQuestionnaireView::kWidth, AdvisorQuestionnaireView::kHeight});
    m_sheet = sheet;
    sheet->open();
}

void ModelAdvisorView::rebuildModelsTab()
{
    // Cards are kept by recommendation id, so an open card stays open across updates.
    QHash<QString, RecommendationCardView*> keep;
    for (const auto& r : m_viewModel->recommendations()) {
        const QString id = QString::fromStdString(r.id.toString());
        if (auto* card = m_cards.take(id)) {
            card->setParent(nullptr);
            keep.insert(id, card);
        }
    }
    qDeleteAll(m_cards);
    m_cards = keep;
    Layouts::clearLater(m_modelsColumn);

    if (const auto& profile = m_viewModel->macProfile())
        m_modelsColumn->addWidget(inset(new MacContextHeader(*profile, m_viewModel->appleSiliconDetected()), 20));

    switch (modelsState()) {
    case ModelsState::prompt:
        m_modelsColumn->addWidget(inset(new QuestionnairePromptCard([this] { openQuestionnaire(); }), 20));
        break;
    case ModelsState::loading:
        m_modelsColumn->addWidget(new LoadingView(tr("Finding best models for your setup...")));
        break;
    case ModelsState::results:
        addResults();
        break;
    }
    m_modelsColumn->addStretch(1);
}

void ModelAdvisorView::addResults()
{
    const Palette palette = Palette::current();
    const auto& context = m_viewModel->lastContext();
    if (context)
        m_modelsColumn->addWidget(inset(new ContextReminderView(*context, [this] { openQuestionnaire(); }), 20));
    if (context && m_viewModel->recommendations().empty()) {
        const auto& smallest = m_viewModel->smallestCandidateBesideBuilds();
        m_modelsColumn->addWidget(inset(
            new NoModelFitsCard(AdvisorTexts::noFitTitle(*context, smallest), AdvisorTexts::noFitDetail(smallest)),
            20));
    }
    for (const auto& r : m_viewModel->recommendations()) {
        const QString id = QString::fromStdString(r.id.toString());
        RecommendationCardView* card = m_cards.value(id);
        if (!card) {
            card = new RecommendationCardView(r, m_desktop, m_clock);
            m_cards.insert(id, card);
        }
        m_modelsColumn->addWidget(inset(card, 20));
    }
    if (!m_viewModel->installedRankings().empty()) {
        auto* section = new QWidget;
        auto* column = new QVBoxLayout(section);
        column->setContentsMargins(20, 0, 20, 0);
        column->setSpacing(8);
        column->addWidget(
            AdvisorStyle::label(tr("Models you have").toUpper(), TextStyle::caption, palette.secondaryText));
        for (const auto& r : m_viewModel->installedRankings())
            column->addWidget(new InstalledModelRow(r));
        m_modelsColumn->addWidget(section);
    }
    if (!m_viewModel->notRecommended().empty()) {
        m_modelsColumn->addWidget(
            inset(new NotRecommendedSection(m_viewModel->notRecommended(), m_viewModel->lastContext()), 20));
    }
}

QList<QWidget*> ModelAdvisorView::modelsTabWidgets() const
{
    QList<QWidget*> widgets;
    for (int i = 0; i < m_modelsColumn->count(); ++i) {
        QWidget* widget = m_modelsColumn->itemAt(i)->widget();
        if (!widget)
            continue;
        // Unwrap the inset holders so callers see the pieces themselves.
        const auto children = widget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        widgets << (widget->layout() && children.size() == 1 ? children.first() : widget);
    }
    return widgets;
}

QList<RecommendationCardView*> ModelAdvisorView::cards() const
{
    QList<RecommendationCardView*> result;
    for (QWidget* widget : modelsTabWidgets()) {
        if (auto* card = qobject_cast<RecommendationCardView*>(widget))
            result << card;
    }
    return result;
}
