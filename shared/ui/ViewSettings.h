#pragma once

#include <QObject>
#include <QString>

class UserDefaults;

// The views' own settings in the user defaults. Every window reads them through one ViewSettings
// over the same UserDefaults, so a change made in one window shows at once in the others.
class ViewSettings : public QObject
{
    Q_OBJECT
public:
    static inline const QString showMenuBarSparklineKey = QStringLiteral("showMenuBarSparkline");
    static inline const QString showMenuBarCPURingKey = QStringLiteral("showMenuBarCPURing");
    static inline const QString showMenuBarTextReadoutsKey = QStringLiteral("showMenuBarTextReadouts");
    static inline const QString hasFinishedOnboardingKey = QStringLiteral("hasFinishedOnboarding");
    static inline const QString useTelemetryChartsKey = QStringLiteral("useTelemetryCharts");
    static inline const QString popoverSelectedTabKey = QStringLiteral("popoverSelectedTab");

    // The settings over the standard user defaults.
    static ViewSettings& shared();

    explicit ViewSettings(UserDefaults& defaults, QObject* parent = nullptr);

    UserDefaults& defaults() const { return m_defaults; }

    bool showMenuBarSparkline() const; // default true
    bool showMenuBarCPURing() const; // default true
    bool showMenuBarTextReadouts() const; // default true
    bool hasFinishedOnboarding() const; // default false
    bool useTelemetryCharts() const; // default false
    int popoverSelectedTab() const; // default 1

    void setShowMenuBarSparkline(bool on);
    void setShowMenuBarCPURing(bool on);
    void setShowMenuBarTextReadouts(bool on);
    void setHasFinishedOnboarding(bool done);
    void setUseTelemetryCharts(bool on);
    void setPopoverSelectedTab(int tab);

    bool boolValue(const QString& key, bool fallback) const;
    void setBool(const QString& key, bool value);
    int intValue(const QString& key, int fallback) const;
    void setInt(const QString& key, int value);

signals:
    // Any key of the user defaults, whoever wrote it.
    void valueChanged(const QString& key);
    void menuBarSettingsChanged();

private:
    UserDefaults& m_defaults;
};
