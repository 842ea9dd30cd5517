#pragma once

#include "LayoutAudit.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

// A layout fault that is known and being mended elsewhere, so the audit passes while it still shows.
struct ExpectedLayoutFinding
{
    const char*
        view; // wildcard pattern over the picture's name ("settings-0[5-9]-*"), the same with or without sensors
    const char* check; // as the audit names it
    const char* widget; // a part of the widget's path in the finding ("" matches any)
    const char* themes; // the themes it shows in, comma-separated ("" for all five)
    const char* fault; // what is wrong, for the reader of this list

    bool matches(const LayoutFinding& finding) const;
    QStringList themeNames() const;
    QString text() const;
};

// The one list of known faults. Every entry must still occur in each of its themes: once a fault is mended
// its entry goes, so the list only shrinks.
const std::vector<ExpectedLayoutFinding>& expectedLayoutFindings();

// The audit's verdict on one run over `themes`.
struct LayoutAuditVerdict
{
    QList<LayoutFinding> expected;
    QList<LayoutFinding> unexpected;
    QStringList stale; // entries that no longer occur, with the theme they were missing in
    bool passed() const { return unexpected.isEmpty() && stale.isEmpty(); }
};

LayoutAuditVerdict judgeLayoutFindings(const QList<LayoutFinding>& findings, const QStringList& themes,
    const std::vector<ExpectedLayoutFinding>& known = expectedLayoutFindings());
