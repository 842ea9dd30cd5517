#include "PlaceholderView.h"

#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "views/dashboard/MenuBarView.h"

#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 16;
constexpr int kTitleHeight = 28;

} // namespace

PlaceholderView::PlaceholderView(const QString& title, DashboardViewModel& dashboardVM, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
    , m_palette(Palette::current())
{
    setAccessibleName(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin + kTitleHeight, kMargin, kMargin);
    layout->addWidget(new MenuBarView(dashboardVM, false, this), 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addStretch(1);
    followTheme(ThemeManager::shared(), this, [this](const Palette& palette) {
        m_palette = palette;
        update();
    });
}

void PlaceholderView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), m_palette.background);
    p.setPen(m_palette.text);
    p.setFont(Fonts::system(15, QFont::Bold));
    const QRect titleRect(kMargin, kMargin, width() - 2 * kMargin, kTitleHeight);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
        p.fontMetrics().elidedText(m_title, Qt::ElideRight, titleRect.width()));
}
