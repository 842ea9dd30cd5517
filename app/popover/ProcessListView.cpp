#include "ProcessListView.h"

#include "AppDirectory.h"
#include "PopoverStyle.h"
#include "SymbolButton.h"

#include "core/PersonaViewModel.h"
#include "core/PoolWork.h"

#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/SymbolIcon.h"

#include <QEnterEvent>
#include <QFuture>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <optional>
#include <utility>

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

// The two fixed glyphs of every row; the snowflake after them is the row's freeze control.
class Glyphs : public QWidget
{
public:
    explicit Glyphs(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(2 * 10 + 3, 12);
    }
    void setColors(const QColor& purple, const QColor& secondary)
    {
        m_colors = {purple, secondary};
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const char* names[] = {"sparkles", "terminal"};
        for (int i = 0; i < 2 && i < m_colors.size(); ++i)
            SymbolIcon::paint(p, QRectF(i * 13, 1, 10, 10), QString::fromLatin1(names[i]), m_colors[i], 10);
    }

private:
    QList<QColor> m_colors;
};

// The process a press on a row's control chose, as the row showed it when the press began.
struct Choice
{
    std::int32_t pid = 0;
    std::string name;
    bool frozen = false;
    QFuture<std::uint64_t> startTicks; // read as the press began; none for a frozen process
};

const RunningProcess* findProcess(const std::vector<RunningProcess>& processes, std::int32_t pid)
{
    const auto it = std::find_if(processes.begin(), processes.end(), [pid](const auto& p) { return p.pid == pid; });
    return it == processes.end() ? nullptr : &*it;
}

} // namespace

class ProcessListView::Row : public QWidget
{
public:
    explicit Row(QWidget* parent)
        : QWidget(parent)
    {
        auto* column = new QVBoxLayout(this);
        // The toggle's own height pads the line above and below.
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(1);
        auto* line = new QHBoxLayout;
        line->setSpacing(6);
        icon = new RowIcon(this);
        name = new ElidedLabel(QString(), 1, this);
        name->setFont(Fonts::system(11, QFont::Medium));
        glyphs = new Glyphs(this);
        toggle = new SymbolButton(QSize(kToggleSide, kToggleSide), this);
        cpu = PopoverStyle::label(QString(), Fonts::monospaced(11, QFont::DemiBold), this);
        cpu->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->addWidget(icon);
        line->addWidget(name, 1);
        auto* symbols = new QHBoxLayout;
        // The toggle's glyph sits in the middle of its wider target, which makes the gap.
        symbols->setSpacing(0);
        symbols->addWidget(glyphs);
        symbols->addWidget(toggle);
        line->addLayout(symbols);
        line->addWidget(cpu);
        column->addLayout(line);
        note = new ElidedLabel(QString(), 2, this);
        note->setFont(Fonts::system(9));
        note->hide();
        column->addWidget(note);
    }
    RowIcon* icon;
    ElidedLabel* name;
    Glyphs* glyphs;
    SymbolButton* toggle;
    QLabel* cpu;
    ElidedLabel* note; // why the last freeze of this row's process was refused, or why it is not resumed yet
    std::int32_t pid = 0;
    std::string processName;
    bool frozen = false;
    std::optional<Choice> chosen; // from the press on the toggle to its click
};

ProcessListView::ProcessListView(DashboardViewModel& dashboardVM, AppDirectory* apps, ThemeManager& themes,
    PersonaViewModel* personaVM, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_apps(apps)
    , m_personaVM(personaVM)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    m_title = PopoverStyle::label(tr("PROCESSES"), Fonts::system(10, QFont::Bold), this);
    m_empty = PopoverStyle::label(tr("No active processes listed."), Fonts::system(10), this);
    column->addWidget(m_title);
    column->addWidget(m_empty);
    for (int i = 0; i < kMaxRows; ++i)
        addRow();
    if (m_personaVM)
        connect(m_personaVM, &PersonaViewModel::frozenProcessesChanged, this, &ProcessListView::refresh);
    connect(&m_dashboardVM, &DashboardViewModel::topProcessesChanged, this, &ProcessListView::refresh);
    if (m_apps)
        connect(m_apps, &AppDirectory::loaded, this, &ProcessListView::refresh);
    followThemeNow(themes, this, [this](const Palette& p) {
        m_palette = p;
        applyTheme();
        refresh();
    });
}

ProcessListView::Row* ProcessListView::addRow()
{
    Row* row = new Row(this);
    m_rows << row;
    if (m_figureWidth == 0) {
        const QFontMetrics metrics(row->cpu->font());
        // "FROZEN", and shares up to 999.9%, in the same room.
        m_figureWidth
            = std::max(metrics.horizontalAdvance(tr("FROZEN")), metrics.horizontalAdvance(QStringLiteral("888.8%")));
    }
    row->cpu->setFixedWidth(m_figureWidth);
    static_cast<QVBoxLayout*>(layout())->addWidget(row);
    row->toggle->setEnabled(m_personaVM != nullptr);
    connect(row->toggle, &QAbstractButton::pressed, this, [this, row] { choose(*row); });
    connect(row->toggle, &QAbstractButton::clicked, this, [this, row] { act(*row); });
    row->note->setColor(m_palette.orange);
    return row;
}

void ProcessListView::choose(Row& row)
{
    row.chosen.reset();
    if (!m_personaVM || row.pid <= 0)
        return;
    // The process is told by its start as well as its pid: by the click it may have ended and its
    // pid passed to another.
    row.chosen = Choice {row.pid, row.processName, row.frozen,
        row.frozen ? QFuture<std::uint64_t>() : m_personaVM->processStartTicks(row.pid)};
}

void ProcessListView::act(Row& row)
{
    const std::optional<Choice> chosen = std::exchange(row.chosen, std::nullopt);
    if (!chosen)
        return;
    const std::int32_t pid = chosen->pid;
    if (chosen->frozen) {
        // Only while it is still held: a pid the engine let go of may be another process's by now.
        if (m_personaVM->frozenProcesses().count(pid))
            m_personaVM->resumeProcess(pid);
        return;
    }
    m_refusals.erase(pid);
    whenFinished(chosen->startTicks, this, [this, pid, name = chosen->name](const QFuture<std::uint64_t>& start) {
        if (start.isCanceled() || start.resultCount() == 0)
            return;
        whenFinished(m_personaVM->freezeProcess(pid, name, start.result()), this,
            [this, pid, name](const QFuture<QString>& why) {
                if (!why.isCanceled() && why.resultCount() > 0)
                    noteRefusal(pid, name, why.result());
            });
    });
}

void ProcessListView::noteRefusal(std::int32_t pid, const std::string& name, const QString& why)
{
    if (why.isEmpty())
        return;
    m_refusals[pid] = {why, name};
    refresh();
    // The reason stays long enough to read, then the row is a plain row again.
    QTimer::singleShot(kRefusalMs, this, [this, pid, why] {
        if (const auto it = m_refusals.find(pid); it != m_refusals.end() && it->second.why == why) {
            m_refusals.erase(it);
            refresh();
        }
    });
}

void ProcessListView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_holding = true;
}

void ProcessListView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    stopHolding();
}

void ProcessListView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    stopHolding();
}

void ProcessListView::stopHolding()
{
    if (!m_holding)
        return;
    m_holding = false;
    refresh();
}

QString ProcessListView::rowNote(int index) const
{
    return index >= 0 && index < rowCount() && !m_rows[index]->note->isHidden() ? m_rows[index]->note->text()
                                                                                : QString();
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

SymbolButton* ProcessListView::rowToggle(int index) const
{
    return index >= 0 && index < m_rows.size() ? m_rows[index]->toggle : nullptr;
}

bool ProcessListView::rowHasAppIcon(int index) const
{
    return index >= 0 && index < rowCount() && m_rows[index]->icon->hasIcon();
}

void ProcessListView::applyTheme()
{
    PopoverStyle::setLabelColor(m_title, m_palette.secondaryText);
    PopoverStyle::setLabelColor(m_empty, m_palette.secondaryText);
    for (Row* r : std::as_const(m_rows)) {
        r->glyphs->setColors(m_palette.purple, m_palette.secondaryText);
        r->note->setColor(m_palette.orange);
    }
}

std::vector<RunningProcess> ProcessListView::listed() const
{
    const std::vector<RunningProcess>& top = m_dashboardVM.topProcesses();
    std::vector<RunningProcess> out;
    const auto has = [&out](std::int32_t pid) { return findProcess(out, pid) != nullptr; };
    // A process no longer among the measured ones keeps its row without a figure.
    const auto current = [&top](RunningProcess process) {
        if (const RunningProcess* now = findProcess(top, process.pid))
            return *now;
        process.cpuPercent = std::numeric_limits<double>::quiet_NaN();
        return process;
    };
    if (m_holding) {
        for (const RunningProcess& shown : m_shown)
            out.push_back(current(shown));
    }
    // The busiest four; under the pointer only into rows that are still free, below the others.
    for (std::size_t i = 0; i < top.size() && i < std::size_t(kMaxRows) && out.size() < std::size_t(kMaxRows); ++i) {
        if (!has(top[i].pid))
            out.push_back(top[i]);
    }
    // Then every process still frozen that is not among them: a frozen process drops to no CPU at
    // all, and must stay where its Resume control can be reached. Then each process whose freeze was
    // refused, until its reason has been read.
    if (m_personaVM) {
        for (const auto& [pid, record] : m_personaVM->frozenProcesses()) {
            if (!has(pid))
                out.push_back({pid, record.name, record.estimatedMemoryMB, 0.0, record.frozenAt});
        }
    }
    for (const auto& [pid, refusal] : m_refusals) {
        if (!has(pid))
            out.push_back(current({pid, refusal.name, 0, 0.0, Date()}));
    }
    return out;
}

void ProcessListView::refresh()
{
    m_shown = listed();
    m_empty->setVisible(m_shown.empty());
    while (m_rows.size() < std::ssize(m_shown))
        addRow();
    for (int i = 0; i < m_rows.size(); ++i) {
        Row* r = m_rows[i];
        if (i >= std::ssize(m_shown)) {
            r->setVisible(false);
            continue;
        }
        showProcess(*r, m_shown[std::size_t(i)]);
    }
}

void ProcessListView::showProcess(Row& row, const RunningProcess& process)
{
    QIcon icon;
    if (m_apps) {
        if (const auto entry = m_apps->entryForPid(process.pid))
            icon = AppDirectory::icon(*entry);
    }
    Row* r = &row;
    r->icon->set(icon, m_palette.accent);
    r->pid = process.pid;
    r->processName = process.name;
    r->frozen = m_personaVM && m_personaVM->frozenProcesses().count(process.pid) > 0;
    r->name->setText(QString::fromStdString(process.name));
    // A frozen process: its name in blue and "FROZEN" in cyan in place of its share.
    r->name->setColor(r->frozen ? m_palette.blue : m_palette.text);
    const QString figure = r->frozen ? tr("FROZEN") : NumberText::numberText("%.1f%%", process.cpuPercent);
    fitFigure(figure);
    r->cpu->setText(figure);
    PopoverStyle::setLabelColor(r->cpu, r->frozen ? m_palette.cyan : m_palette.text);
    SymbolButton::Look look;
    look.symbol = r->frozen ? QStringLiteral("play.fill") : QStringLiteral("snowflake");
    look.symbolSize = 10;
    look.foreground = r->frozen ? m_palette.green : m_palette.cyan;
    r->toggle->setLook(look);
    const QString help = m_personaVM ? (r->frozen ? tr("Resume Process") : tr("Freeze Process")) : QString();
    r->toggle->setToolTip(help);
    r->toggle->setAccessibleName(help);
    const auto refusal = m_refusals.find(process.pid);
    QString note = refusal == m_refusals.end() ? QString() : refusal->second.why;
    if (r->frozen) {
        const auto& failures = m_personaVM->resumeFailures();
        const auto failure = failures.find(process.pid);
        note = failure == failures.end() ? QString()
                                         : tr("Not resumed, trying again: ") + QString::fromStdString(failure->second);
    }
    r->note->setText(note);
    r->note->setVisible(!note.isEmpty());
    r->setVisible(true);
}

void ProcessListView::fitFigure(const QString& text)
{
    const int needed = m_rows.isEmpty() ? 0 : QFontMetrics(m_rows.first()->cpu->font()).horizontalAdvance(text);
    if (needed <= m_figureWidth)
        return;
    m_figureWidth = needed;
    for (Row* r : std::as_const(m_rows))
        r->cpu->setFixedWidth(m_figureWidth);
}
