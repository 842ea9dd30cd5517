#include "PersonaOverrideSection.h"

#include "PopoverStyle.h"

#include "core/PersonaViewModel.h"
#include "core/PoolWork.h"
#include "records/ThemeManager.h"
#include "ui/CardPainter.h"
#include "ui/Clock.h"
#include "ui/Fonts.h"
#include "ui/SymbolIcon.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The standard gray of an inactive chip.
const QColor kGray(142, 142, 147);

} // namespace

// A persona chip: symbol and label, tinted with the persona's colour while it is active.
class PersonaOverrideSection::Chip : public QAbstractButton
{
public:
    Chip(AutoPersona persona, QWidget* parent)
        : QAbstractButton(parent)
        , m_persona(persona)
    {
        setText(PersonaOverrideSection::chipLabel(persona));
        setAccessibleName(text());
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    AutoPersona persona() const { return m_persona; }
    void set(bool active, const QColor& color, const Palette& palette)
    {
        m_active = active;
        m_color = color;
        m_palette = palette;
        update();
    }
    bool isActive() const { return m_active; }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(Fonts::system(10, QFont::Medium));
        return {6 + 12 + 3 + fm.horizontalAdvance(text()) + 6, 4 + std::max(fm.height(), 12) + 4};
    }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (!isEnabled())
            p.setOpacity(0.5);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (m_active)
            CardPainter::paintRounded(p, r, 4, withOpacity(m_color, 0.18), withOpacity(m_color, 0.4), 1);
        else
            CardPainter::paintRounded(p, r, 4, withOpacity(kGray, 0.08));
        const QColor fg = m_active ? m_color : m_palette.text;
        const QFont font = Fonts::system(10, QFont::Medium);
        const QFontMetrics fm(font);
        const double contentWidth = 12 + 3 + fm.horizontalAdvance(text());
        const double x = std::max(6.0, (width() - contentWidth) / 2);
        SymbolIcon::paint(p, QRectF(x, height() / 2.0 - 6, 12, 12), menubarOverlay(m_persona), fg, 10);
        p.setFont(font);
        p.setPen(fg);
        p.drawText(QRectF(x + 15, 0, width() - x - 15, height()), Qt::AlignLeft | Qt::AlignVCenter,
            fm.elidedText(text(), Qt::ElideRight, int(width() - x - 15 - 6)));
    }

private:
    AutoPersona m_persona;
    bool m_active = false;
    QColor m_color;
    Palette m_palette;
};

// "Restore All Frozen Processes (n)" on red, across the block.
class PersonaOverrideSection::RestoreButton : public QAbstractButton
{
public:
    explicit RestoreButton(QWidget* parent)
        : QAbstractButton(parent)
    {
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(5 + QFontMetrics(Fonts::system(10, QFont::Bold)).height() + 5);
    }
    void setColors(const QColor& fill, const QColor& text)
    {
        m_fill = fill;
        m_text = text;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(p, rect(), 4, m_fill);
        p.setFont(Fonts::system(10, QFont::Bold));
        p.setPen(m_text);
        p.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    QColor m_fill;
    QColor m_text;
};

PersonaOverrideSection::PersonaOverrideSection(
    PersonaViewModel& personaVM, ThemeManager& themes, Clock& clock, QWidget* parent)
    : PersonaOverrideSection(Commands {
                                 [&personaVM](AutoPersona persona, const std::string& trigger) {
                                     return personaVM.activatePersona(persona, trigger);
                                 },
                                 [&personaVM](AutoPersona persona) { return personaVM.deactivatePersona(persona); },
                                 [&personaVM] { return personaVM.resumeAllFrozenProcesses(); },
                             },
        themes, clock, parent)
{
    // Without the helper the persona rules do not run, so nothing will override a manual choice.
    auto follow = [this, &personaVM] {
        setShown({personaVM.activePersonas(), int(personaVM.frozenProcesses().size()),
            personaVM.configuration().autonomousModeEnabled && personaVM.canPause()});
    };
    connect(&personaVM, &PersonaViewModel::activePersonasChanged, this, follow);
    connect(&personaVM, &PersonaViewModel::frozenProcessesChanged, this, follow);
    connect(&personaVM, &PersonaViewModel::configurationChanged, this, follow);
    connect(&personaVM, &PersonaViewModel::helperAccessChanged, this, follow);
    follow();
}

PersonaOverrideSection::PersonaOverrideSection(Commands commands, ThemeManager& themes, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_commands(std::move(commands))
    , m_clock(clock)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    build();
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        redraw();
    });
    redraw();
}

void PersonaOverrideSection::build()
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* header = new QHBoxLayout;
    m_title = PopoverStyle::label(tr("Manual Override"), Fonts::system(11, QFont::Bold), this);
    m_mode = PopoverStyle::label(QString(), Fonts::system(10, QFont::Medium), this);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_mode);
    column->addLayout(header);

    auto* chips = new QHBoxLayout;
    chips->setSpacing(6);
    for (AutoPersona persona : allCases<AutoPersona>()) {
        auto* chip = new Chip(persona, this);
        m_chips << chip;
        chips->addWidget(chip, 1);
        connect(chip, &QAbstractButton::clicked, this, [this, persona] { togglePersonaOverride(persona); });
    }
    column->addLayout(chips);

    m_warning = PopoverStyle::label(
        tr("⚠️ Autonomous mode is enabled. Manual overrides will be overridden by the auto persona engine."),
        Fonts::system(9, QFont::DemiBold), this);
    m_warning->setWordWrap(true);
    m_warning->setContentsMargins(0, 2, 0, 0);
    m_warning->hide();
    column->addWidget(m_warning);

    m_restore = new RestoreButton(this);
    m_restore->hide();
    column->addWidget(m_restore);
    connect(m_restore, &QAbstractButton::clicked, this, &PersonaOverrideSection::restoreAllFrozenProcesses);
}

QString PersonaOverrideSection::chipLabel(AutoPersona persona)
{
    return QString::fromStdString(rawValue(persona)).remove(QStringLiteral(" Mode"));
}

QColor PersonaOverrideSection::personaColor(AutoPersona persona) const
{
    switch (persona) {
    case AutoPersona::compileMode:
        return m_palette.blue;
    case AutoPersona::aiFirstMode:
        return m_palette.purple;
    case AutoPersona::batteryMode:
        break;
    }
    return m_palette.green;
}

void PersonaOverrideSection::setShown(const Shown& shown)
{
    m_shown = shown;
    redraw();
}

void PersonaOverrideSection::togglePersonaOverride(AutoPersona persona)
{
    Chip* chip = static_cast<Chip*>(this->chip(persona));
    if (!chip || !chip->isEnabled())
        return;
    if (m_shown.autonomousModeEnabled) {
        // Each tap hides the warning 4 s after itself; a later tap does not extend an earlier one.
        m_warning->show();
        m_clock.singleShot(kWarningMs, this, [this] { m_warning->hide(); });
    }
    const bool active = m_shown.activePersonas.count(persona) > 0;
    QFuture<void> request;
    if (active && m_commands.deactivatePersona)
        request = m_commands.deactivatePersona(persona);
    else if (!active && m_commands.activatePersona)
        request = m_commands.activatePersona(persona, PersonaEvent::manualOverrideTrigger);
    else
        return;
    // The chip waits for its request (and the refresh after it) before it takes another tap.
    chip->setEnabled(false);
    whenFinished(request, chip, [chip](const QFuture<void>&) { chip->setEnabled(true); });
}

void PersonaOverrideSection::restoreAllFrozenProcesses()
{
    if (m_commands.resumeAllFrozenProcesses)
        m_commands.resumeAllFrozenProcesses();
}

QAbstractButton* PersonaOverrideSection::chip(AutoPersona persona) const
{
    for (Chip* c : m_chips) {
        if (c->persona() == persona)
            return c;
    }
    return nullptr;
}

QAbstractButton* PersonaOverrideSection::restoreButton() const
{
    return m_restore->isHidden() ? nullptr : m_restore;
}

bool PersonaOverrideSection::showsWarning() const
{
    return !m_warning->isHidden();
}

QString PersonaOverrideSection::modeText() const
{
    return m_mode->text();
}

void PersonaOverrideSection::redraw()
{
    PopoverStyle::setLabelColor(m_title, m_palette.secondaryText);
    PopoverStyle::setLabelColor(m_mode, m_palette.secondaryText);
    PopoverStyle::setLabelColor(m_warning, m_palette.orange);
    m_mode->setText(m_shown.activePersonas.empty() ? tr("Auto") : tr("Manual"));
    for (Chip* c : std::as_const(m_chips))
        c->set(m_shown.activePersonas.count(c->persona()) > 0, personaColor(c->persona()), m_palette);
    m_restore->setText(tr("Restore All Frozen Processes (%1)").arg(m_shown.frozenCount));
    m_restore->setAccessibleName(m_restore->text());
    m_restore->setColors(m_palette.red, m_palette.light ? m_palette.text : QColor(Qt::white));
    m_restore->setVisible(m_shown.frozenCount > 0);
}
