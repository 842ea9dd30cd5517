#pragma once

#include <QFont>
#include <QString>

class QPushButton;
class QWidget;

namespace Buttons {

// A push button its style sheet draws: the pointing-hand cursor, focus by Tab only.
QPushButton* plain(const QString& text, const QFont& font, QWidget* parent = nullptr);

} // namespace Buttons
