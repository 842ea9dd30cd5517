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
}

void ThemeManager::setCurrentTheme(AppTheme theme)
{
    m_currentTheme = theme;
    emit currentThemeChanged(theme);
    m_defaults.setString(userDefaultsKey, QString::fromStdString(rawValue(theme)));
}
