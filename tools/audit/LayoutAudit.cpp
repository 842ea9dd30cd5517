#include "LayoutAudit.h"

#include "TextAudit.h"

#include <QAbstractScrollArea>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

namespace {

LayoutAudit* g_current = nullptr;

// A scroll area whose own vertical bar is off may show one of its own elsewhere in the view: a visible
// bar outside it that follows its range (the popover's panel keeps its indicator in the padding beside it).
bool hasIndicatorElsewhere(const QWidget& root, const QAbstractScrollArea& area)
{
    const QScrollBar* own = area.verticalScrollBar();
    for (const QScrollBar* bar : root.findChildren<QScrollBar*>()) {
        if (bar != own && bar->isVisible() && bar->orientation() == Qt::Vertical && !area.isAncestorOf(bar)
            && bar->minimum() == own->minimum() && bar->maximum() == own->maximum())
            return true;
    }
    return false;
}

bool isScrollViewport(const QWidget& widget)
{
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget.parentWidget());
    return area && area->viewport() == &widget;
}

QString segment(const QWidget& widget)
{
    const QString name = widget.objectName();
    if (!name.isEmpty() && !name.startsWith(QStringLiteral("qt_")))
        return name;
    return QString::fromLatin1(widget.metaObject()->className());
}

// The classes from the root down, without the plain containers in between.
QString pathOf(const QWidget& root, const QWidget& widget)
{
    QStringList parts;
    for (const QWidget* w = &widget; w; w = w->parentWidget()) {
        const QString part = segment(*w);
        if (w == &widget || w == &root || part != QLatin1String("QWidget"))
            parts.prepend(part);
        if (w == &root)
            break;
    }
    QString path = parts.join(QStringLiteral(" > "));
    if (TextAudit::showsText(widget))
        path += QStringLiteral(" \"%1\"").arg(TextAudit::excerpt(widget));
    return path;
}

QRect inRoot(const QWidget& root, const QWidget& widget, const QRect& local)
{
    return QRect(widget.mapTo(&root, local.topLeft()), local.size());
}

// The part of `widget` its ancestors up to the root leave visible, in root coordinates.
QRect visibleRect(const QWidget& root, const QWidget& widget)
{
    QRect rect = inRoot(root, widget, widget.rect());
    for (const QWidget* w = widget.parentWidget(); w && w != &root; w = w->parentWidget())
        rect &= inRoot(root, *w, w->rect());
    return rect & root.rect();
}

// Whether a widget painted later (a sibling above it, or above one of its ancestors) lies over `rect`.
bool isCovered(const QWidget& root, const QWidget& widget, const QRect& rect)
{
    for (const QWidget* w = &widget; w != &root && w->parentWidget(); w = w->parentWidget()) {
        const QObjectList& siblings = w->parentWidget()->children();
        for (qsizetype i = siblings.indexOf(const_cast<QWidget*>(w)) + 1; i < siblings.size(); ++i) {
            const auto* above = qobject_cast<const QWidget*>(siblings.at(i));
            if (above && !above->isWindow() && above->isVisible()
                && inRoot(root, *above, above->rect()).intersects(rect))
                return true;
        }
    }
    return false;
}

QString sizeText(const QSize& size)
{
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

QString overflowText(const QRect& child, const QSize& parent)
{
    QStringList sides;
    if (child.left() < 0)
        sides << QStringLiteral("%1 px left").arg(-child.left());
    if (child.top() < 0)
        sides << QStringLiteral("%1 px above").arg(-child.top());
    if (child.right() >= parent.width())
        sides << QStringLiteral("%1 px right").arg(child.right() + 1 - parent.width());
    if (child.bottom() >= parent.height())
        sides << QStringLiteral("%1 px below").arg(child.bottom() + 1 - parent.height());
    return QStringLiteral("%1 at %2,%3 reaches %4 of its %5 parent")
        .arg(sizeText(child.size()))
        .arg(child.left())
        .arg(child.top())
        .arg(sides.join(QStringLiteral(", ")), sizeText(parent));
}

} // namespace

QString LayoutFinding::line() const
{
    return QStringLiteral("%1 [%2] %3: %4: %5").arg(view, theme, check, widget, detail);
}

LayoutAudit::LayoutAudit()
{
    g_current = this;
}

LayoutAudit::~LayoutAudit()
{
    if (g_current == this)
        g_current = nullptr;
}

LayoutAudit* LayoutAudit::current()
{
    return g_current;
}

void LayoutAudit::beginView(const QString& view, const QString& theme)
{
    m_view = view;
    m_theme = theme;
}

void LayoutAudit::add(const QString& check, const QString& widget, const QString& detail)
{
    const LayoutFinding finding {m_view, m_theme, check, widget, detail};
    for (const LayoutFinding& seen : std::as_const(m_findings)) {
        if (seen.line() == finding.line())
            return;
    }
    m_findings.append(finding);
}

void LayoutAudit::inspect(QWidget& root, const QImage& image, QSize hostSize)
{
    ++m_views;
    if (hostSize.isValid() && (root.width() > hostSize.width() || root.height() > hostSize.height()))
        add(QStringLiteral("host-size"), pathOf(root, root),
            QStringLiteral("needs %1, its host gives %2").arg(sizeText(root.size()), sizeText(hostSize)));
    QList<QWidget*> pending {&root};
    while (!pending.isEmpty()) {
        QWidget& widget = *pending.takeLast();
        ++m_widgets;
        if (TextAudit::showsText(widget)) {
            for (const TextAudit::Problem& problem : TextAudit::fit(widget))
                add(problem.check, pathOf(root, widget), problem.detail);
            const QRect area = inRoot(root, widget, TextAudit::textRect(widget)) & visibleRect(root, widget);
            if (!area.isEmpty() && !isCovered(root, widget, area)) {
                if (const auto problem = TextAudit::contrast(widget, image, area))
                    add(problem->check, pathOf(root, widget), problem->detail);
            }
        }
        if (auto* area = qobject_cast<QScrollArea*>(&widget); area && area->widget() && area->widget()->isVisible()) {
            const QSize content = area->widget()->size();
            const QSize viewport = area->viewport()->size();
            if (content.width() > viewport.width() && area->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff)
                add(QStringLiteral("scroll-cut"), pathOf(root, widget),
                    QStringLiteral("content %1 px wide in a %2 px viewport without a horizontal scroll bar")
                        .arg(content.width())
                        .arg(viewport.width()));
            if (content.height() > viewport.height() && area->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
                && !hasIndicatorElsewhere(root, *area))
                add(QStringLiteral("scroll-cut"), pathOf(root, widget),
                    QStringLiteral("content %1 px tall in a %2 px viewport without a vertical scroll bar")
                        .arg(content.height())
                        .arg(viewport.height()));
        }
        const bool scrolls = isScrollViewport(widget);
        for (QObject* object : widget.children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (!child || child->isWindow() || !child->isVisible() || child->width() <= 0 || child->height() <= 0)
                continue;
            if (!scrolls && !widget.rect().contains(child->geometry()))
                add(QStringLiteral("outside-parent"), pathOf(root, *child),
                    overflowText(child->geometry(), widget.size()));
            pending.append(child);
        }
    }
}
