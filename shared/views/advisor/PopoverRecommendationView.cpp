#include "PopoverRecommendationView.h"

#include "AdvisorSheet.h"
#include "AdvisorStyle.h"
#include "AdvisorViewModel.h"
#include "ModelAdvisorView.h"

#include "records/ThemeManager.h"
#include "ui/Buttons.h"
#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/StyleSheets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* textLabel(const QFont& font, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

using StyleSheets::rgba;

PopoverRecommendationView::PopoverRecommendationView(DashboardViewModel& dashboardVM, QWidget* parent)
    : PopoverRecommendationView(
        dashboardVM, std::make_unique<AdvisorViewModel>(), [] { return new ModelAdvisorView; }, parent)
{
}

PopoverRecommendationView::PopoverRecommendationView(DashboardViewModel& dashboardVM,
    std::unique_ptr<AdvisorViewModel> advisorVM, AdvisorFactory makeAdvisor, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_advisorVM(std::move(advisorVM))
    , m_makeAdvisor(std::move(makeAdvisor))
    , m_palette(Palette::current())
    , m_symbol(AdvisorStyle::symbolLabel(QStringLiteral("brain.headset"), 12, m_palette.blue))
    , m_header(textLabel(Fonts::system(10, QFont::Bold), this))
    , m_analyze(Buttons::plain(tr("Analyze model compatibility →"), Fonts::system(9, QFont::DemiBold), this))
    , m_result(new QWidget(this))
    , m_recommended(textLabel(Fonts::system(10, QFont::DemiBold), m_result))
    , m_summary(textLabel(Fonts::system(8), m_result))
    , m_viewAdvisor(Buttons::plain(tr("View Advisor"), Fonts::system(9, QFont::DemiBold), m_result))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(m_symbol);
    m_header->setText(tr("Optimal Model Suggestion"));
    header->addWidget(m_header);
    header->addStretch(1);
    column->addLayout(header);
    column->addWidget(m_analyze, 0, Qt::AlignLeft);

    auto* row = new QHBoxLayout(m_result);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    // A long model name or summary wraps rather than widening the card past the popover.
    m_recommended->setWordWrap(true);
    m_summary->setWordWrap(true);
    texts->addWidget(m_recommended);
    texts->addWidget(m_summary);
    // The texts take the room the button leaves; their own end is the flexible space before it.
    row->addLayout(texts, 1);
    row->addWidget(m_viewAdvisor, 0, Qt::AlignVCenter);
    column->addWidget(m_result);

    connect(m_analyze, &QPushButton::clicked, this, [this] { setShowingAdvisor(true); });
    connect(m_viewAdvisor, &QPushButton::clicked, this, [this] { setShowingAdvisor(true); });
    // The view model lives and dies with this card, and delivers its results only while it lives.
    connect(m_advisorVM.get(), &AdvisorViewModel::macProfileChanged, this, &PopoverRecommendationView::runWhenProfiled);
    connect(m_advisorVM.get(), &AdvisorViewModel::recommendationsChanged, this, &PopoverRecommendationView::updateBody);
    followTheme(ThemeManager::shared(), this, [this](const Palette& p) { applyPalette(p); });
    applyPalette(m_palette);
    updateBody();
}

PopoverRecommendationView::~PopoverRecommendationView()
{
    delete m_sheet;
}

UserRecommendationContext PopoverRecommendationView::fixedContext(const MacCapabilityProfile& profile)
{
    UserRecommendationContext context;
    context.macProfile = profile;
    context.primaryUseCase = UseCase::coding;
    context.speedPreference = UserRecommendationContext::SpeedPreference::balanced;
    context.contextLengthNeeded = UserRecommendationContext::ContextLength::medium;
    context.runsAlongsideBuilds = true;
    return context;
}

void PopoverRecommendationView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Every appearance ranks again; the machine is detected once per view model.
    m_waitingForProfile = true;
    m_advisorVM->load();
    if (m_advisorVM->macProfile())
        runWhenProfiled();
}

void PopoverRecommendationView::hideEvent(QHideEvent* event)
{
    // Off screen, a detection that finishes later starts no ranking.
    m_waitingForProfile = false;
    QWidget::hideEvent(event);
}

void PopoverRecommendationView::runWhenProfiled()
{
    const auto& profile = m_advisorVM->macProfile();
    if (!m_waitingForProfile || !profile)
        return;
    m_waitingForProfile = false;
    m_advisorVM->runRecommendations(fixedContext(*profile));
}

void PopoverRecommendationView::updateBody()
{
    const auto& recommendations = m_advisorVM->recommendations();
    m_analyze->setVisible(recommendations.empty());
    m_result->setVisible(!recommendations.empty());
    if (recommendations.empty())
        return;
    const ModelRecommendation& best = recommendations.front();
    m_recommended->setText(tr("Recommended: ") + QString::fromStdString(best.model.displayName));
    m_summary->setText(QString::fromStdString(best.performanceSummary()));
}

void PopoverRecommendationView::setShowingAdvisor(bool showing)
{
    if (!showing) {
        if (m_sheet)
            m_sheet->reject();
        return;
    }
    if (!m_sheet) {
        auto* sheet = new AdvisorSheet(m_makeAdvisor ? m_makeAdvisor() : nullptr);
        // The flag drops as soon as the sheet is dismissed by any means; the sheet is deleted a moment later.
        connect(sheet, &QDialog::finished, this, [this, sheet] {
            if (m_sheet == sheet)
                m_sheet.clear();
            // Back to the card: the popup that gave way to the advisor opens again where it was.
            if (QWidget* popup = m_poppedDown.data(); popup && !popup->isVisible()) {
                popup->show();
                popup->raise();
                popup->activateWindow();
            }
            m_poppedDown.clear();
        });
        m_sheet = sheet;
    }
    // A popup gives way once the user turns elsewhere, and the advisor is where they turn; left open,
    // it would stay above the sheet. It is noted before the sheet shows, which may close it already.
    QWidget* host = window();
    if (host != this && host->windowType() == Qt::Popup && host->isVisible())
        m_poppedDown = host;
    // An open sheet, perhaps behind another window, comes to the front.
    m_sheet->present(this);
    if (m_poppedDown)
        m_poppedDown->hide();
}

void PopoverRecommendationView::applyPalette(const Palette& palette)
{
    m_palette = palette;
    AdvisorStyle::setSymbol(m_symbol, QStringLiteral("brain.headset"), 12, palette.blue);
    AdvisorStyle::setLabelColor(m_header, palette.text);
    AdvisorStyle::setLabelColor(m_recommended, palette.text);
    AdvisorStyle::setLabelColor(m_summary, palette.secondaryText);
    m_analyze->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: transparent; border: none; padding: 0px; }")
            .arg(rgba(palette.blue)));
    m_viewAdvisor->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: %2; border: none;"
                                                " border-radius: 4px; padding: 3px 6px; }")
                                     .arg(rgba(palette.blue), rgba(withOpacity(palette.blue, 0.1))));
    update();
}

void PopoverRecommendationView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    CardPainter::paintRounded(p, rect(), 6, withOpacity(m_palette.secondaryText, 0.06));
}
