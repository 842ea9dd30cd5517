#include "AdvisorQuestionnaireView.h"

#include "AdvisorStyle.h"
#include "QuestionnaireChoices.h"
#include "ui/RoundedFill.h"

#include "ui/CardPainter.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVariantAnimation>

using AdvisorStyle::TextStyle;
using SpeedPreference = UserRecommendationContext::SpeedPreference;
using ContextLength = UserRecommendationContext::ContextLength;

namespace {

constexpr int kProgressHeight = 3;
constexpr int kStepAnimationMs = 250;
constexpr int kStepCount = 4;

} // namespace

AdvisorQuestionnaireView::AdvisorQuestionnaireView(
    Completion onComplete, const MacCapabilityProfile& macProfile, QWidget* parent)
    : QWidget(parent)
    , m_onComplete(std::move(onComplete))
    , m_macProfile(macProfile)
    , m_palette(Palette::current())
{
    setFixedSize(kWidth, kHeight);
    AdvisorStyle::fillBackground(this, m_palette);

    // Only the current step is visible, so the scroll range is that step's own height.
    m_steps = new QWidget;
    auto* stepColumn = new QVBoxLayout(m_steps);
    stepColumn->setContentsMargins(0, 0, 0, 0);
    stepColumn->setSpacing(0);
    for (QWidget* block : {buildUseCaseStep(), buildSpeedStep(), buildLengthStep(), buildBuildsStep()}) {
        stepColumn->addWidget(block);
        m_blocks << block;
    }
    stepColumn->addStretch(1);

    auto* scroll = AdvisorStyle::scrollArea(m_steps, m_palette);
    scroll->viewport()->setAutoFillBackground(false);
    m_steps->setAutoFillBackground(false);

    m_back = new QPushButton(tr("\u2190 Back"));
    m_back->setFlat(true);
    m_back->setFont(AdvisorStyle::font(TextStyle::body));
    m_back->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; padding: 4px 6px; }")
                              .arg(m_palette.secondaryText.name(QColor::HexArgb)));
    m_next = new QPushButton;
    m_next->setDefault(true);
    m_next->setFont(AdvisorStyle::font(TextStyle::body, QFont::Medium));
    m_next->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 6px;"
                       " padding: 5px 14px; }"
                       "QPushButton:disabled { background: %3; color: %4; }")
            .arg(m_palette.accent.name(), m_palette.onTint(m_palette.accent).name(),
                withOpacity(m_palette.secondaryText, 0.25).name(QColor::HexArgb), m_palette.secondaryText.name()));
    connect(m_back, &QPushButton::clicked, this, [this] { setStep(m_step - 1, true); });
    connect(m_next, &QPushButton::clicked, this, &AdvisorQuestionnaireView::advance);

    auto* nav = new QHBoxLayout;
    nav->setContentsMargins(20, 20, 20, 20);
    nav->addWidget(m_back);
    nav->addStretch(1);
    nav->addWidget(m_next);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, kProgressHeight, 0, 0);
    column->setSpacing(0);
    column->addWidget(scroll, 1);
    column->addLayout(nav);

    m_progressAnimation = new QVariantAnimation(this);
    m_progressAnimation->setDuration(kStepAnimationMs);
    m_progressAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_progressAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_drawnProgress = value.toDouble();
        update(0, 0, width(), kProgressHeight);
    });
    refresh();
}

AdvisorQuestionnaireView::~AdvisorQuestionnaireView() = default;

QWidget* AdvisorQuestionnaireView::stepBlock(const QString& title, const QString& subtitle, QWidget* choices)
{
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addWidget(AdvisorStyle::wrappedLabel(title, TextStyle::headline, m_palette.text));
    if (!subtitle.isEmpty())
        column->addWidget(AdvisorStyle::wrappedLabel(subtitle, TextStyle::subheadline, m_palette.secondaryText));
    column->addWidget(choices);
    column->addStretch(1);
    return block;
}

QWidget* AdvisorQuestionnaireView::buildUseCaseStep()
{
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    int index = 0;
    for (const auto& [useCase, text] : RawEnumTable<UseCase>::cases) {
        auto* card = new UseCaseCard(useCase);
        connect(card, &QAbstractButton::clicked, this, [this, value = useCase] {
            m_primaryUseCase = value;
            refresh();
        });
        m_useCaseCards << card;
        layout->addWidget(card, index / 2, index % 2);
        ++index;
    }
    return stepBlock(tr("What are you mainly using AI for?"), tr("We'll match models to your actual workflow."), grid);
}

QWidget* AdvisorQuestionnaireView::buildSpeedStep()
{
    auto* list = new QWidget;
    auto* layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    for (const auto& [preference, text] : RawEnumTable<SpeedPreference>::cases) {
        auto* row = new SpeedPreferenceRow(preference);
        connect(row, &QAbstractButton::clicked, this, [this, value = preference] {
            m_speedPreference = value;
            refresh();
        });
        m_speedRows << row;
        layout->addWidget(row);
    }
    return stepBlock(tr("How important is response speed?"), {}, list);
}

QWidget* AdvisorQuestionnaireView::buildLengthStep()
{
    auto* list = new QWidget;
    auto* layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    for (const auto& [length, text] : RawEnumTable<ContextLength>::cases) {
        auto* row = new ContextLengthRow(length);
        connect(row, &QAbstractButton::clicked, this, [this, value = length] {
            m_contextLength = value;
            refresh();
        });
        m_lengthRows << row;
        layout->addWidget(row);
    }
    return stepBlock(
        tr("How long are your typical conversations?"), tr("This affects which models we recommend."), list);
}

QWidget* AdvisorQuestionnaireView::buildBuildsStep()
{
    auto* choices = new QWidget;
    auto* column = new QVBoxLayout(choices);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    m_yes = new ToggleCard(tr("Yes \u2014 I build while AI runs"), QStringLiteral("hammer.fill"));
    m_no = new ToggleCard(tr("No \u2014 I use AI separately"), QStringLiteral("brain"));
    connect(m_yes, &QAbstractButton::clicked, this, [this] {
        m_runsAlongsideBuilds = true;
        refresh();
    });
    connect(m_no, &QAbstractButton::clicked, this, [this] {
        m_runsAlongsideBuilds = false;
        refresh();
    });
    row->addWidget(m_yes);
    row->addWidget(m_no);
    column->addLayout(row);

    auto* note = new RoundedFill(withOpacity(m_palette.blue, 0.08), 8);
    auto* noteRow = new QHBoxLayout(note);
    noteRow->setContentsMargins(10, 10, 10, 10);
    noteRow->setSpacing(8);
    noteRow->addWidget(AdvisorStyle::symbolLabel(QStringLiteral("info.circle"), 12, m_palette.blue));
    noteRow->addWidget(AdvisorStyle::wrappedLabel(tr("We'll prioritize models that leave enough headroom for builds."),
                           TextStyle::caption, m_palette.secondaryText),
        1);
    m_buildsNote = note;
    column->addWidget(note);
    return stepBlock(tr("Do you run AI alongside development builds?"),
        tr("CMake, Cargo, webpack, etc. while AI is loaded."), choices);
}

bool AdvisorQuestionnaireView::isBuildsNoteShown() const
{
    return !m_buildsNote->isHidden();
}

void AdvisorQuestionnaireView::refresh()
{
    for (auto* card : m_useCaseCards)
        card->setSelected(m_primaryUseCase == card->useCase());
    for (auto* row : m_speedRows)
        row->setSelected(row->preference() == m_speedPreference);
    for (auto* row : m_lengthRows)
        row->setSelected(row->length() == m_contextLength);
    m_yes->setSelected(m_runsAlongsideBuilds);
    m_no->setSelected(!m_runsAlongsideBuilds);
    m_buildsNote->setHidden(!m_runsAlongsideBuilds);

    for (int i = 0; i < m_blocks.size(); ++i)
        m_blocks[i]->setVisible(i == m_step);
    m_back->setVisible(m_step > 0);
    m_next->setText(m_step < kStepCount - 1 ? tr("Next \u2192") : tr("Get Recommendations"));
    m_next->setEnabled(m_step != 0 || m_primaryUseCase.has_value());
}

void AdvisorQuestionnaireView::setStep(int step, bool animated)
{
    if (step < 0 || step >= kStepCount)
        return;
    m_step = step;
    m_progressAnimation->stop();
    if (animated) {
        m_progressAnimation->setStartValue(m_drawnProgress);
        m_progressAnimation->setEndValue(progressFraction());
        m_progressAnimation->start();
    } else {
        m_drawnProgress = progressFraction();
        update();
    }
    refresh();
}

void AdvisorQuestionnaireView::showStep(int step)
{
    setStep(step, false);
}

void AdvisorQuestionnaireView::advance()
{
    if (m_step < kStepCount - 1) {
        if (m_step == 0 && !m_primaryUseCase)
            return;
        setStep(m_step + 1, true);
        return;
    }
    if (!m_primaryUseCase || !m_onComplete)
        return;
    UserRecommendationContext context;
    context.macProfile = m_macProfile;
    context.primaryUseCase = *m_primaryUseCase;
    context.speedPreference = m_speedPreference;
    context.contextLengthNeeded = m_contextLength;
    context.runsAlongsideBuilds = m_runsAlongsideBuilds;
    context.preferredFramework = m_preferredFramework;
    m_onComplete(context);
}

void AdvisorQuestionnaireView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_palette.background);
    p.fillRect(QRectF(0, 0, width(), kProgressHeight), withOpacity(m_palette.secondaryText, 0.2));
    p.fillRect(QRectF(0, 0, width() * m_drawnProgress, kProgressHeight), m_palette.accent);
}
