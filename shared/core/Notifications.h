#pragma once

#include <QString>

// Names of the notifications posted through NotificationCenter.
namespace Notifications {
inline const QString assistanceEventAdded = QStringLiteral("QuorvaneAssistanceEventAdded");
inline const QString didReclaimStorage = QStringLiteral("QuorvaneDidReclaimStorage");
inline const QString personaStateChanged = QStringLiteral("QVPersonaStateChanged");
inline const QString startSettingsTour = QStringLiteral("StartSettingsTour");
} // namespace Notifications
