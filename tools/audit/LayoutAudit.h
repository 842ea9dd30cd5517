#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class QWidget;

// One fault the audit saw in a rendered view.
struct LayoutFinding
{
    QString view; // the picture's name, with "no-sensors/" before it for the machine without sensors
    QString theme;
    QString check; // one of the check names below
    QString widget; // the path of classes (or object names) from the view down to the widget
    QString detail; // what is wrong, in figures

    QString line() const;
};

// Walks the widget tree of each view the snapshot program renders, as it is grabbed at its host's size, and
// records what a user would see broken. The checks:
//   host-size      the view needs more room than its host gives it (a top-level view grows past the size).
//   text-cut       a label's (or a plain Qt button's, combo box's) text is wider than the room it has and is
//                  neither elided nor wrapped; a wrapped text taller than its label; a text taller than its
//                  label; an elided label so narrow that nothing but the ellipsis is left.
//   outside-parent a visible child reaches outside its visible parent (children of a scroll area's viewport
//                  scroll and are left out, so are hidden and empty widgets).
//   scroll-cut     a scroll area's content is wider or taller than its viewport while that scroll bar is
//                  turned off (and, for the height, no visible bar elsewhere in the view follows the area).
//   contrast       a text's colour against the background it is drawn on is below 3:1 (WCAG relative
//                  luminance). The text colour is the widget's own (its palette's, or the kit label's
//                  colour, a translucent one laid over the background); the background is read from the
//                  rendered picture: the most frequent colour inside the widget, so painted cards, style
//                  sheets and translucent fills count as they are drawn. Widgets under an overlay, disabled
//                  widgets (WCAG leaves inactive components out) and colour emoji are left out.
// Text that widgets paint themselves with QPainter (rings, pills, painted buttons and rows) cannot be read
// back from the tree; of those only their size against their parent is audited.
class LayoutAudit
{
public:
    LayoutAudit();
    ~LayoutAudit();

    // The audit grabWidget() reports to, or null when none runs.
    static LayoutAudit* current();

    void beginView(const QString& view, const QString& theme);
    // `image` is `root` rendered as shown; `hostSize` the size its host gives it (invalid: its own).
    void inspect(QWidget& root, const QImage& image, QSize hostSize);

    const QList<LayoutFinding>& findings() const { return m_findings; }
    // How many widgets and views were looked at.
    int widgetCount() const { return m_widgets; }
    int viewCount() const { return m_views; }

private:
    void add(const QString& check, const QString& widget, const QString& detail);

    QString m_view;
    QString m_theme;
    QList<LayoutFinding> m_findings;
    int m_widgets = 0;
    int m_views = 0;
};
