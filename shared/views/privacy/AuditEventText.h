#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/AuditEvent.h"
#endif

#include <QString>

// How the audit views word a logged helper action. The log keeps its raw values ("Spotlight", the
// bare action); these texts are for showing and searching only.
namespace AuditEventText {

// The action with the process it acted on, when the log names one: "Suspended process firefox
// (PID 4242)", and a failure's reason after it.
QString action(const AuditEvent& event);

// A stored category as the views show it: "Spotlight" is the file indexer on this system.
QString category(const QString& raw);

} // namespace AuditEventText
