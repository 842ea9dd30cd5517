#include "OnboardingView.h"

#include "OnboardingSteps.h"
#include "PrivacyStyle.h"

#include "ui/CardPainter.h"
#include "ui/ThemeColor.h"

#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The card's content: 380 x 420 where there is room; in a narrower host it gives up width rather than
// being cut (its pages wrap their texts), and a page whose texts need more height than 420 at the width
// it has (the setup page's failure lines) makes it taller rather than being squeezed.
class CardFrame : public QWidget
{
public:
    static constexpr QSize kSize {380, 420};
    CardFrame()
    {
        setMaximumWidth(kSize.width());
        setMinimumHeight(kSize.height());
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    }
    QSize sizeHint() const override { return {kSize.width(), heightForWidth(kSize.width())}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        const QLayout* pages = layout();
        int page = 0;
        if (pages)
            page = pages->hasHeightForWidth() ? pages->totalHeightForWidth(width) : pages->totalSizeHint().height();
        return std::max(kSize.height(), page);
    }
};

} // namespace

OnboardingView::OnboardingView(int currentStep, Workspace workspace, Flavor flavor, PageFactory permissionView,
    std::function<void()> onCompletion, QWidget* parent)
    : QWidget(parent)
    , m_step(currentStep)
    , m_workspace(workspace)
    , m_flavor(flavor)
    , m_permissionView(std::move(permissionView))
    , m_onCompletion(std::move(onCompletion))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    m_frame = new CardFrame;
    m_frameLayout = new QVBoxLayout(m_frame);
    m_frameLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_frame, 0, Qt::AlignCenter);
    repaintOnThemeChange(this);
    showPage();
}

void OnboardingView::setCurrentStep(int step)
{
    if (step == m_step)
        return;
    m_step = step;
    showPage();
    emit currentStepChanged(step);
}

void OnboardingView::finishSetup(bool canPause)
{
    m_canPause = canPause;
    setCurrentStep(5);
}

void OnboardingView::setHelperUnavailable(bool unavailable)
{
    if (unavailable == m_helperUnavailable)
        return;
    m_helperUnavailable = unavailable;
    if (m_step == 3)
        showPage();
}

void OnboardingView::showPage()
{
    // A page's own state goes with it: switching pages builds the new one from scratch.
    if (m_page) {
        m_page->hide();
        m_page->deleteLater();
        m_page = nullptr;
    }
    switch (m_step) {
    case 1:
        m_page = new WelcomeStepView([this] { setCurrentStep(2); });
        break;
    case 2:
        m_page = new WorkspaceStepView(
            m_workspace,
            [this](Workspace w) {
                m_workspace = w;
                emit workspacePersonaChanged(w);
            },
            [this] { setCurrentStep(3); });
        break;
    case 3:
        m_page = new StyleStepView(
            m_flavor,
            [this](Flavor f) {
                m_flavor = f;
                emit flavorPersonaChanged(f);
            },
            [this] { setCurrentStep(4); }, !m_helperUnavailable);
        break;
    case 4:
        m_page = m_permissionView ? m_permissionView(*this) : nullptr;
        break;
    case 5:
        m_page = new ReadyStepView(
            [this] {
                if (m_onCompletion)
                    m_onCompletion();
            },
            m_canPause);
        break;
    default:
        break;
    }
    if (m_page)
        m_frameLayout->addWidget(m_page);
}

void OnboardingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Palette p = Palette::current();
    CardPainter::paintRounded(
        painter, QRectF(rect()), 12, withOpacity(p.background, 0.96), resolveColor(ColorRole::shade, p, 0.08));
}
