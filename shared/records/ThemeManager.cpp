#include "ThemeManager.h"

#include <QCoreApplication>

ThemeManager& ThemeManager::shared()
{
    static ThemeManager* manager = [] {
        auto* m = new ThemeManager(UserDefaults::standard());
        if (auto* app = QCoreApplication::instance())
            m->moveToThread(app->thread());
        return m;
    }();
    return *manager;
}

ThemeManager::ThemeManager(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
{
    if (const auto stored = m_defaults.string(userDefaultsKey)) {
        if (const auto theme = enumFromRawValue<AppTheme>(stored->toStdString()))
            m_currentTheme = *theme;
    }
    // Settings erased (privacy erasure): the theme falls back to Standard without storing anything.
    connect(&m_defaults, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key != userDefaultsKey || m_defaults.contains(key) || m_currentTheme == AppTheme::standard)
            return;
        m_currentTheme = AppTheme::standard;
        emit currentThemeChanged(m_currentTheme);
    });
}

void ThemeManager::setCurrentTheme(AppTheme theme)
{
    m_currentTheme = theme;
    emit currentThemeChanged(theme);
    m_defaults.setString(userDefaultsKey, QString::fromStdString(rawValue(theme)));
}
