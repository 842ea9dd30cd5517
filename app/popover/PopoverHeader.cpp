#include "PopoverHeader.h"

#include "PopoverActions.h"
#include "PopoverState.h"
#include "PopoverStyle.h"
#include "SymbolButton.h"

#include "core/PersonaViewModel.h"
#include "records/ThemeManager.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/SymbolIcon.h"
#include "ui/WidgetPalette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kLogoSize = 22;

// Draws the logo (or the shield in the accent colour) in its rounded square.
class LogoSlot : public QWidget
{
public:
    LogoSlot(const QPixmap& logo, const Palette& palette, QWidget* parent)
        : QWidget(parent)
        , m_logo(logo)
        , m_palette(palette)
    {
        setFixedSize(kLogoSize, kLogoSize);
        setAccessibleName(QStringLiteral("Quorvane"));
    }
    void applyPalette(const Palette& palette)
    {
        m_palette = palette;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (m_logo.isNull()) {
            SymbolIcon::paint(p, rect(), QStringLiteral("shield.fill"), m_palette.accent, 15);
            return;
        }
        QPainterPath clip;
        clip.addRoundedRect(rect(), 5, 5);
        p.setClipPath(clip);
        const QSize fitted = m_logo.size().scaled(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
        p.drawPixmap(target, m_logo);
    }

private:
    QPixmap m_logo;
    Palette m_palette;
};

SymbolButton* iconSquare(const QString& toolTip, QWidget* parent)
{
    auto* b = new SymbolButton(QSize(kLogoSize, kLogoSize), parent);
    b->setToolTip(toolTip);
    b->setAccessibleName(toolTip);
    return b;
}

SymbolButton::Look squareLook(const QString& symbol, const QColor& color, double opacity)
{
    SymbolButton::Look look;
    look.symbol = symbol;
    look.symbolSize = 12;
    look.foreground = color;
    look.background = withOpacity(color, opacity);
    look.cornerRadius = 5;
    return look;
}

} // namespace

PopoverHeader::PopoverHeader(PopoverState& state, PersonaViewModel& personaVM, ThemeManager& themes,
    const PopoverActions& actions, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_personaVM(personaVM)
    , m_themes(themes)
    , m_palette(Palette::forTheme(themes.currentTheme()))
    , m_logo(PopoverStyle::logo())
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    m_logoSlot = new LogoSlot(m_logo, m_palette, this);
    row->addWidget(m_logoSlot, 0, Qt::AlignVCenter);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    m_title = PopoverStyle::label(QStringLiteral("Quorvane"), Fonts::system(13, QFont::Bold), this);
    m_status = new ElidedLabel(QString(), 1, this);
    m_status->setFont(Fonts::system(9, QFont::DemiBold));
    // As wide as its text up to the limit, cut with an ellipsis beyond it.
    m_status->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_status->setMaximumWidth(kStatusMaxWidth);
    titles->addWidget(m_title);
    titles->addWidget(m_status);
    row->addLayout(titles);
    row->addStretch(1);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(5);
    m_tour = new SymbolButton(QSize(0, kLogoSize), this);
    m_tour->setToolTip(tr("Play Guided Tour"));
    m_tour->setAccessibleName(tr("Play Guided Tour"));
    m_history = iconSquare(tr("Assistance History & Logs"), this);
    m_settings = iconSquare(tr("Settings & Options"), this);
    m_settings->setMenu(actions.makeMenu(this));
    m_theme = iconSquare(QString(), this);
    m_themeMenu = new QMenu(this);
    WidgetPalette::follow(m_themeMenu);
    // Room between the menu's border and its header and items.
    m_themeMenu->setContentsMargins(4, 6, 4, 6);
    m_theme->setMenu(m_themeMenu);
    m_quit = iconSquare(actions.quitToolTip(), this);
    for (QWidget* w : {static_cast<QWidget*>(m_tour), static_cast<QWidget*>(m_history),
             static_cast<QWidget*>(m_settings), static_cast<QWidget*>(m_theme), static_cast<QWidget*>(m_quit)})
        controls->addWidget(w);
    row->addLayout(controls);

    connect(m_tour, &QAbstractButton::clicked, &m_state, &PopoverState::startTour);
    connect(m_history, &QAbstractButton::clicked, &m_state, &PopoverState::toggleHistory);
    connect(m_quit, &QAbstractButton::clicked, actions.quit(), &QAction::trigger);
    connect(m_themeMenu, &QMenu::aboutToShow, this, &PopoverHeader::fillThemeMenu);
    connect(&m_state, &PopoverState::selectedTabChanged, this, &PopoverHeader::redraw);
    connect(&m_personaVM, &PersonaViewModel::activePersonasChanged, this, &PopoverHeader::updateStatus);
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        redraw();
    });
    fillThemeMenu();
    redraw();
}

QString PopoverHeader::statusText() const
{
    return statusText(m_personaVM.activePersonas());
}

QString PopoverHeader::statusText(const std::set<AutoPersona>& personas)
{
    if (personas.empty())
        return tr("System balanced ✓");
    QStringList names;
    for (AutoPersona persona : personas)
        names << QString::fromStdString(rawValue(persona));
    return tr("Active: ") + names.join(QStringLiteral(", "));
}

void PopoverHeader::updateStatus()
{
    m_status->setText(statusText());
    m_status->setColor(m_personaVM.activePersonas().empty() ? m_palette.green : m_palette.accent);
}

void PopoverHeader::redraw()
{
    static_cast<LogoSlot*>(m_logoSlot)->applyPalette(m_palette);
    PopoverStyle::setLabelColor(m_title, PopoverStyle::foreground(m_palette.theme));
    updateStatus();

    SymbolButton::Look tour;
    tour.symbol = QStringLiteral("safari.fill");
    tour.symbolSize = 11;
    tour.foreground = m_palette.accent;
    tour.background = withOpacity(m_palette.accent, 0.18);
    tour.cornerRadius = 11;
    tour.text = tr("Tour");
    tour.textFont = Fonts::system(10, QFont::DemiBold);
    tour.horizontalPadding = 7;
    m_tour->setLook(tour);

    const bool onHistory = m_state.selectedTab() == PopoverState::actions;
    SymbolButton::Look history = squareLook(QStringLiteral("list.bullet.rectangle"), m_palette.secondaryText, 0.12);
    history.background = withOpacity(m_palette.secondaryText, 0.12);
    history.foreground = onHistory ? m_palette.accent : m_palette.secondaryText;
    m_history->setLook(history);
    m_settings->setLook(squareLook(QStringLiteral("gearshape.fill"), m_palette.secondaryText, 0.12));
    m_theme->setLook(squareLook(QStringLiteral("paintpalette.fill"), m_palette.accent, 0.15));
    const QString themeTip = tr("Theme: ") + QString::fromStdString(rawValue(m_palette.theme));
    m_theme->setToolTip(themeTip);
    m_theme->setAccessibleName(themeTip);
    m_quit->setLook(squareLook(QStringLiteral("power"), m_palette.red, 0.15));
    update();
}

void PopoverHeader::fillThemeMenu()
{
    m_themeMenu->clear();
    m_themeMenu->addSection(tr("Theme Selection"));
    const QColor check = m_themeMenu->palette().color(QPalette::WindowText);
    for (const auto& [theme, raw] : RawEnumTable<AppTheme>::cases) {
        QAction* action = m_themeMenu->addAction(QString::fromLatin1(raw.data(), qsizetype(raw.size())));
        if (theme == m_themes.currentTheme())
            action->setIcon(QIcon(SymbolIcon::pixmap(QStringLiteral("checkmark"), 16, check, 2.0)));
        connect(action, &QAction::triggered, this, [this, theme] { m_themes.setCurrentTheme(theme); });
    }
}
