#pragma once

#include <QString>

// Starting the program at login through the desktop's autostart folder. The entry file is the only
// record of the choice: it exists exactly while launch at login is on.
class LoginItem
{
public:
    static inline const QString kFileName = QStringLiteral("quorvane-pro.desktop");

    // The entry in `$XDG_CONFIG_HOME/autostart` (else `~/.config/autostart`), starting `program`
    // (default: this program's own executable).
    LoginItem();
    LoginItem(QString entryPath, QString program);

    QString entryPath() const { return m_entryPath; }
    bool isEnabled() const;
    // Writes or removes the entry; false when the file system refused, and then nothing changed.
    bool setEnabled(bool enabled);

    // The entry's text for `program`.
    static QString entryText(const QString& program);

private:
    QString m_entryPath;
    QString m_program;
};
