#include "AdvisorSheet.h"

#include "AdvisorStyle.h"

#include "records/ThemeManager.h"
#include "ui/FittedWindow.h"
#include "ui/Fonts.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

AdvisorSheet::AdvisorSheet(QWidget* advisor)
    : QDialog(nullptr)
    , m_close(new QPushButton(tr("Close"), this))
{
    setWindowTitle(tr("Model Advisor"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 12, 12, 0);
    bar->addStretch(1);
    m_close->setFont(Fonts::system(11));
    m_close->setAutoDefault(false);
    bar->addWidget(m_close);
    column->addLayout(bar);
    if (advisor)
        column->addWidget(advisor, 1);
    FittedWindow::holdContent(this, body);
    FittedWindow::fix(this, kSize);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    followTheme(ThemeManager::shared(), this, [this](const Palette& p) { applyPalette(p); });
    applyPalette(Palette::current());
}

QPoint AdvisorSheet::placement(const QRect& host, const QSize& frame, const QRect& available)
{
    const QPoint centred = host.center() - QPoint(frame.width() / 2, frame.height() / 2);
    const int x
        = std::clamp(centred.x(), available.left(), std::max(available.left(), available.right() + 1 - frame.width()));
    const int y
        = std::clamp(centred.y(), available.top(), std::max(available.top(), available.bottom() + 1 - frame.height()));
    return {x, y};
}

void AdvisorSheet::present(const QWidget* over)
{
    const QWidget* host = over ? over->window() : nullptr;
    QScreen* screen = host && host->screen() ? host->screen() : QGuiApplication::primaryScreen();
    if (!isVisible() && host && screen) {
        // The window manager frames the sheet only once it is shown; until then a title bar and borders
        // of the style's sizes are counted, so no edge of the frame lands off the screen.
        FittedWindow::fix(this, kSize, screen->availableGeometry());
        const QMargins decoration = FittedWindow::decoration(this);
        const QSize frame
            = size() + QSize(decoration.left() + decoration.right(), decoration.top() + decoration.bottom());
        move(placement(host->frameGeometry(), frame, screen->availableGeometry()));
    }
    show();
    raise();
    activateWindow();
}

void AdvisorSheet::applyPalette(const Palette& palette)
{
    AdvisorStyle::fillBackground(this, palette);
    QPalette pal = this->palette();
    pal.setColor(QPalette::WindowText, palette.text);
    setPalette(pal);
    m_close->setStyleSheet(AdvisorStyle::borderedButtonStyle(palette));
}
