#include "LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QString defaultEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/")
        + LoginItem::kFileName;
}

// Desktop entries quote an Exec argument that holds spaces or quoting characters.
QString execArgument(QString program)
{
    if (!program.contains(QRegularExpression(QStringLiteral("[\\s\"'\\\\$`]"))))
        return program;
    program.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    program.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    program.replace(QLatin1Char('`'), QStringLiteral("\\`"));
    program.replace(QLatin1Char('$'), QStringLiteral("\\$"));
    return QLatin1Char('"') + program + QLatin1Char('"');
}

} // namespace

LoginItem::LoginItem()
    : LoginItem(defaultEntryPath(), QCoreApplication::applicationFilePath())
{
}

LoginItem::LoginItem(QString entryPath, QString program)
    : m_entryPath(std::move(entryPath))
    , m_program(std::move(program))
{
}

bool LoginItem::isEnabled() const
{
    return QFileInfo(m_entryPath).isFile();
}

QString LoginItem::entryText(const QString& program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quorvane Pro\n"
                          "Comment=Local AI co-pilot in the system tray\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execArgument(program));
}

bool LoginItem::setEnabled(bool enabled)
{
    if (!enabled)
        return !QFileInfo::exists(m_entryPath) || QFile::remove(m_entryPath);
    if (!QDir().mkpath(QFileInfo(m_entryPath).absolutePath()))
        return false;
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(entryText(m_program).toUtf8());
    return file.commit();
}
