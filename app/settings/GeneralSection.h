#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLayout;
class QSlider;
class QVBoxLayout;
class SettingsView;
struct Palette;

// The General page: launch at login, notifications, the icon style, the theme, the menu-bar label's
// items and the polling interval.
class GeneralSection : public QWidget
{
    Q_OBJECT
public:
    explicit GeneralSection(SettingsView& view, QWidget* parent = nullptr);

    QCheckBox* launchAtLogin() const { return m_launchAtLogin; }
    QCheckBox* notifications() const { return m_notifications; }
    QCheckBox* cpuRing() const { return m_cpuRing; }
    QCheckBox* textReadouts() const { return m_textReadouts; }
    QCheckBox* sparkline() const { return m_sparkline; }
    QButtonGroup* themeGroup() const { return m_themes; }
    QButtonGroup* styleGroup() const { return m_styles; }
    QSlider* pollingSlider() const { return m_polling; }
    QLabel* pollingValue() const { return m_pollingValue; }

private:
    // The menu-bar icon style and the theme, as radio groups.
    void buildStyleChoices(QVBoxLayout* column, const Palette& palette);
    // The menu bar's three pieces, following the view settings.
    QLayout* buildMenuBarContent(const Palette& palette);
    QLayout* buildPolling(const Palette& palette);
    void showMenuBarSettings();

    SettingsView& m_view;
    QCheckBox* m_launchAtLogin;
    QCheckBox* m_notifications;
    QCheckBox* m_cpuRing;
    QCheckBox* m_textReadouts;
    QCheckBox* m_sparkline;
    QButtonGroup* m_styles;
    QButtonGroup* m_themes;
    QSlider* m_polling;
    QLabel* m_pollingValue;
};
