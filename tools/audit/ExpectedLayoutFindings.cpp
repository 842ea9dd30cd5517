#include "ExpectedLayoutFindings.h"

#include <QRegularExpression>
#include <QSet>

namespace {

const QString kAllThemes = QStringLiteral("Standard,Cyberpunk,Nordic,Ink,Light");

QString bareView(const QString& view)
{
    return view.startsWith(QStringLiteral("no-sensors/")) ? view.mid(11) : view;
}

} // namespace

// Faults whose mending is on its way. When it lands, the audit names each entry that no longer occurs, and
// the entry goes; an empty list is the aim.
const std::vector<ExpectedLayoutFinding>& expectedLayoutFindings()
{
    static const std::vector<ExpectedLayoutFinding> known {};
    return known;
}

bool ExpectedLayoutFinding::matches(const LayoutFinding& finding) const
{
    const QRegularExpression pattern = QRegularExpression::fromWildcard(QString::fromUtf8(view));
    return finding.check == QLatin1String(check) && pattern.match(bareView(finding.view)).hasMatch()
        && finding.widget.contains(QString::fromUtf8(widget)) && themeNames().contains(finding.theme);
}

QStringList ExpectedLayoutFinding::themeNames() const
{
    const QString names = QString::fromUtf8(themes);
    return (names.isEmpty() ? kAllThemes : names).split(QLatin1Char(','));
}

QString ExpectedLayoutFinding::text() const
{
    return QStringLiteral("%1 %2 \"%3\" (%4)")
        .arg(QString::fromUtf8(view), QString::fromUtf8(check), QString::fromUtf8(widget),
            *themes ? QString::fromUtf8(themes) : QStringLiteral("all themes"));
}

LayoutAuditVerdict judgeLayoutFindings(
    const QList<LayoutFinding>& findings, const QStringList& themes, const std::vector<ExpectedLayoutFinding>& known)
{
    LayoutAuditVerdict verdict;
    std::vector<QSet<QString>> seenIn(known.size());
    for (const LayoutFinding& finding : findings) {
        bool listed = false;
        for (std::size_t i = 0; i < known.size(); ++i) {
            if (known[i].matches(finding)) {
                seenIn[i].insert(finding.theme);
                listed = true;
            }
        }
        (listed ? verdict.expected : verdict.unexpected).append(finding);
    }
    for (std::size_t i = 0; i < known.size(); ++i) {
        for (const QString& theme : known[i].themeNames()) {
            if (themes.contains(theme) && !seenIn[i].contains(theme))
                verdict.stale.append(QStringLiteral("%1 no longer occurs in %2").arg(known[i].text(), theme));
        }
    }
    return verdict;
}
