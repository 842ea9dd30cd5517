#include "ProcessListView.h"

#include "AppDirectory.h"
#include "PopoverStyle.h"

#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

// The row's icon: the application's image, or the cpu symbol in the accent colour.
class RowIcon : public QWidget
{
public:
    explicit RowIcon(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(14, 14);
    }
    void set(const QIcon& icon, const QColor& accent)
    {
        m_icon = icon;
        m_accent = accent;
        update();
    }
    bool hasIcon() const { return !m_icon.isNull(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (m_icon.isNull()) {
            SymbolIcon::paint(p, rect(), QStringLiteral("cpu"), m_accent, 11);
            return;
        }
        QPainterPath clip;
        clip.addRoundedRect(rect(), 2, 2);
        p.setClipPath(clip);
        m_icon.paint(&p, rect());
    }

private:
    QIcon m_icon;
    QColor m_accent;
};

// The three fixed glyphs of every row.
class Glyphs : public QWidget
{
public:
    explicit Glyphs(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(3 * 10 + 2 * 3, 12);
    }
    void setColors(const QColor& purple, const QColor& secondary, const QColor& cyan)
    {
        m_colors = {purple, secondary, cyan};
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const char* names[] = {"sparkles", "terminal", "snowflake"};
        for (int i = 0; i < 3 && i < m_colors.size(); ++i)
            SymbolIcon::paint(p, QRectF(i * 13, 1, 10, 10), QString::fromLatin1(names[i]), m_colors[i], 10);
    }

private:
    QList<QColor> m_colors;
};

} // namespace

class ProcessListView::Row : public QWidget
{
public:
    explicit Row(QWidget* parent)
        : QWidget(parent)
    {
        auto* line = new QHBoxLayout(this);
        line->setContentsMargins(0, 2, 0, 2);
        line->setSpacing(6);
        icon = new RowIcon(this);
        name = new ElidedLabel(QString(), 1, this);
        name->setFont(Fonts::system(11, QFont::Medium));
        glyphs = new Glyphs(this);
        cpu = PopoverStyle::label(QString(), Fonts::monospaced(11, QFont::DemiBold), this);
        line->addWidget(icon);
        line->addWidget(name, 1);
        line->addWidget(glyphs);
        line->addWidget(cpu);
    }
    RowIcon* icon;
    ElidedLabel* name;
    Glyphs* glyphs;
    QLabel* cpu;
};

ProcessListView::ProcessListView(
    DashboardViewModel& dashboardVM, AppDirectory* apps, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_apps(apps)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    m_title = PopoverStyle::label(tr("PROCESSES"), Fonts::system(10, QFont::Bold), this);
    m_empty = PopoverStyle::label(tr("No active processes listed."), Fonts::system(10), this);
    column->addWidget(m_title);
    column->addWidget(m_empty);
    for (int i = 0; i < kMaxRows; ++i) {
        m_rows << new Row(this);
        column->addWidget(m_rows.last());
    }
    connect(&m_dashboardVM, &DashboardViewModel::topProcessesChanged, this, &ProcessListView::refresh);
    if (m_apps)
        connect(m_apps, &AppDirectory::loaded, this, &ProcessListView::refresh);
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        applyTheme();
    });
    applyTheme();
}

int ProcessListView::rowCount() const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(), [](const Row* r) { return !r->isHidden(); }));
}

bool ProcessListView::showsEmptyText() const
{
    return !m_empty->isHidden();
}

QStringList ProcessListView::rowTexts(int index) const
{
    if (index < 0 || index >= rowCount())
        return {};
    return {m_rows[index]->name->text(), m_rows[index]->cpu->text()};
}

bool ProcessListView::rowHasAppIcon(int index) const
{
    return index >= 0 && index < rowCount() && m_rows[index]->icon->hasIcon();
}

void ProcessListView::applyTheme()
{
    PopoverStyle::setColor(m_title, m_palette.secondaryText);
    PopoverStyle::setColor(m_empty, m_palette.secondaryText);
    for (Row* r : std::as_const(m_rows)) {
        r->name->setColor(m_palette.text);
        PopoverStyle::setColor(r->cpu, m_palette.text);
        r->glyphs->setColors(m_palette.purple, m_palette.secondaryText, m_palette.cyan);
    }
    refresh();
}

void ProcessListView::refresh()
{
    const auto& processes = m_dashboardVM.topProcesses();
    m_empty->setVisible(processes.empty());
    for (int i = 0; i < kMaxRows; ++i) {
        Row* r = m_rows[i];
        if (std::size_t(i) >= processes.size()) {
            r->setVisible(false);
            continue;
        }
        const RunningProcess& process = processes[std::size_t(i)];
        QIcon icon;
        if (m_apps) {
            if (const auto entry = m_apps->entryForPid(process.pid))
                icon = AppDirectory::icon(*entry);
        }
        r->icon->set(icon, m_palette.accent);
        r->name->setText(QString::fromStdString(process.name));
        r->cpu->setText(NumberText::numberText("%.1f%%", process.cpuPercent));
        r->setVisible(true);
    }
}
