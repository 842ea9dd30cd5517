#include "UserDefaults.h"

#include "JsonFile.h"

#include <QStandardPaths>

#include <cstdio>

UserDefaults& UserDefaults::standard()
{
    static UserDefaults* instance = new UserDefaults(standardFilePath());
    return *instance;
}

QString UserDefaults::standardFilePath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Quorvane/Quorvane Pro.conf");
}

namespace {

// QSettings opens and reads the file itself, on the thread that builds the store (the GUI thread at
// start): a FIFO there would hang the program, and a file of junk would be held in memory whole. The
// one checked open looks first; what it refuses is moved aside before QSettings sees the path.
std::unique_ptr<QSettings> openSettings(const QString& filePath)
{
    const jsonfile::FileState state = jsonfile::inspect(filePath, UserDefaults::kMaxFileBytes);
    if ((state == jsonfile::FileState::tooLarge || state == jsonfile::FileState::notAFile)
        && !jsonfile::setAsideRefused(filePath, state, UserDefaults::kMaxFileBytes)) {
        std::fprintf(stderr, "The settings are kept in memory until Quorvane Pro quits\n");
        return std::make_unique<QSettings>(QString(), QSettings::IniFormat);
    }
    auto settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    // QSettings rewrites a file it cannot parse (through a link, the file the link points to) with
    // only what it understood: the user's freeze lists and triggers would go without a trace.
    (void)settings->allKeys(); // the file is parsed on first access; status() tells only after it
    if (settings->status() != QSettings::FormatError)
        return settings;
    settings.reset();
    const QString aside = jsonfile::setAside(filePath);
    std::fprintf(stderr, "The settings file %s could not be read; %s, and the settings start from their defaults\n",
        qPrintable(filePath),
        aside.isEmpty() ? "it could not be set aside" : qPrintable(QStringLiteral("it was kept as ") + aside));
    return std::make_unique<QSettings>(filePath, QSettings::IniFormat);
}

} // namespace

UserDefaults::UserDefaults(const QString& filePath, QObject* parent)
    : QObject(parent)
    , m_filePath(filePath)
    , m_settings(openSettings(filePath))
{
}

UserDefaults::~UserDefaults() = default;

bool UserDefaults::contains(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_settings->contains(key);
}

QVariant UserDefaults::value(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_settings->value(key);
}

void UserDefaults::setValue(const QString& key, const QVariant& value)
{
    {
        std::lock_guard lock(m_mutex);
        m_settings->setValue(key, value);
        m_settings->sync();
    }
    emit valueChanged(key);
}

void UserDefaults::remove(const QString& key)
{
    {
        std::lock_guard lock(m_mutex);
        m_settings->remove(key);
        m_settings->sync();
    }
    emit valueChanged(key);
}

bool UserDefaults::removeAll()
{
    QStringList keys;
    bool removed = false;
    {
        std::lock_guard lock(m_mutex);
        keys = m_settings->allKeys();
        m_settings->clear();
        m_settings->sync();
        // An emptied store still leaves its file; the next setting written makes it again.
        removed = jsonfile::removeWithCopies(m_filePath) && m_settings->allKeys().isEmpty();
    }
    for (const QString& key : keys)
        emit valueChanged(key);
    return removed;
}

QStringList UserDefaults::allKeys() const
{
    std::lock_guard lock(m_mutex);
    return m_settings->allKeys();
}

std::optional<std::string> UserDefaults::data(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString().toStdString();
}

void UserDefaults::setData(const QString& key, const std::string& bytes)
{
    setValue(key, QString::fromStdString(bytes));
}

std::optional<QString> UserDefaults::string(const QString& key) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

void UserDefaults::setString(const QString& key, const QString& value)
{
    setValue(key, value);
}

bool UserDefaults::boolValue(const QString& key, bool fallback) const
{
    const QVariant v = value(key);
    if (!v.isValid())
        return fallback;
    // The INI format keeps Booleans as the text "true" or "false".
    const QString text = v.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return v.toBool();
}

void UserDefaults::setBool(const QString& key, bool value)
{
    setValue(key, value);
}

void UserDefaults::sync()
{
    std::lock_guard lock(m_mutex);
    m_settings->sync();
}
