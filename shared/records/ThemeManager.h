#pragma once

#include "AppTheme.h"

#include "core/UserDefaults.h"

#include <QObject>

// The process-wide current theme, remembered under "appTheme". Used on the GUI thread only.
class ThemeManager : public QObject
{
    Q_OBJECT
public:
    static inline const QString userDefaultsKey = QStringLiteral("appTheme");

    // The manager every view reads, over the standard user defaults.
    static ThemeManager& shared();

    // Starts from the stored theme (Standard when none or not an exact raw value); writes nothing.
    explicit ThemeManager(UserDefaults& defaults, QObject* parent = nullptr);

    AppTheme currentTheme() const { return m_currentTheme; }
    // Publishes the theme, then stores its raw value, also when it is the theme already current.
    void setCurrentTheme(AppTheme theme);

signals:
    void currentThemeChanged(AppTheme theme);

private:
    UserDefaults& m_defaults;
    AppTheme m_currentTheme = AppTheme::standard;
};
