#include "TabDock.h"

#include "PopoverActions.h"
#include "PopoverState.h"
#include "SymbolButton.h"

#include "records/ThemeManager.h"
#include "ui/Contrast.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {

// The dark rounded capsule behind the tab buttons.
class Capsule : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.4, 0.4, -0.4, -0.4);
        QPainterPath path;
        path.addRoundedRect(r, 8, 8);
        p.fillPath(path, QColor(0, 0, 0, qRound(0.4 * 255)));
        p.setPen(QPen(QColor(255, 255, 255, qRound(0.08 * 255)), 0.8));
        p.drawPath(path);
    }
};

} // namespace

const QList<TabDock::Tab>& TabDock::tabs()
{
    static const QList<Tab> list {
        {"cpu", 1, "CPU and processes"},
        {"network", 4, "Network"},
        {"internaldrive", 3, "Storage"},
        {"memorychip", 0, "Memory"},
        {"sparkles", 2, "Actions and personas"},
    };
    return list;
}

TabDock::TabDock(PopoverState& state, ThemeManager& themes, const PopoverActions& actions, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    m_capsule = new Capsule(this);
    auto* capsuleRow = new QHBoxLayout(m_capsule);
    capsuleRow->setContentsMargins(3, 3, 3, 3);
    capsuleRow->setSpacing(4);
    for (const Tab& tab : tabs()) {
        auto* button = new SymbolButton(QSize(26, 24), m_capsule);
        button->setAccessibleName(tr(tab.name));
        button->setToolTip(tr(tab.name));
        const int target = tab.tab;
        connect(button, &QAbstractButton::clicked, this, [this, target] { m_state.selectFromDock(target); });
        capsuleRow->addWidget(button);
        m_buttons << button;
    }
    row->addWidget(m_capsule);
    row->addStretch(1);

    m_menuButton = new SymbolButton(QSize(28, 26), this);
    m_menuButton->setToolTip(tr("Settings & Options"));
    m_menuButton->setAccessibleName(tr("Settings & Options"));
    m_menuButton->setMenu(actions.makeMenu(this));
    row->addWidget(m_menuButton);

    connect(&m_state, &PopoverState::selectedTabChanged, this, &TabDock::refresh);
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        refresh();
    });
    refresh();
}

int TabDock::selectedButton() const
{
    const int selected = m_state.selectedTab();
    for (int i = 0; i < tabs().size(); ++i) {
        if (tabs()[i].tab == selected)
            return i;
    }
    return -1;
}

void TabDock::refresh()
{
    const int selected = selectedButton();
    // White on the accent, dark where the accent itself is light (Ink, Cyberpunk, Nordic).
    const QColor onAccent
        = Contrast::readableOn(m_palette.accent, Qt::white, m_palette.light ? m_palette.text : m_palette.background);
    for (int i = 0; i < m_buttons.size(); ++i) {
        SymbolButton::Look look;
        look.symbol = QString::fromLatin1(tabs()[i].icon);
        look.symbolSize = 14;
        look.foreground = i == selected ? onAccent : m_palette.secondaryText;
        look.background = i == selected ? m_palette.accent : QColor(Qt::transparent);
        look.cornerRadius = 5;
        m_buttons[i]->setLook(look);
    }
    SymbolButton::Look menu;
    menu.symbol = QStringLiteral("slider.horizontal.3");
    menu.symbolSize = 14;
    menu.foreground = onAccent;
    menu.background = m_palette.accent;
    menu.cornerRadius = 6;
    m_menuButton->setLook(menu);
}
