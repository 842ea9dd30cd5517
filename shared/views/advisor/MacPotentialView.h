#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/MacCapabilityProfile.h"
#endif

#include "ui/Palette.h"

#include <QWidget>

#include <optional>

class Clock;
class Desktop;
class Dialogs;
class QLabel;
class QMenu;
class QPushButton;
class QVBoxLayout;
class MemoryComparisonView;

// One capability of the machine: its symbol, name, detail and, when present, its quality.
class CapabilityRow : public QWidget
{
    Q_OBJECT
public:
    CapabilityRow(const MacCapabilityProfile::Capability& capability, bool appleSilicon, QWidget* parent = nullptr);
};

// The next hardware step for this machine, by its memory.
class UpgradeAnalysisView : public QWidget
{
    Q_OBJECT
public:
    explicit UpgradeAnalysisView(
        const MacCapabilityProfile& profile, bool appleSilicon = true, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Palette m_palette;
};

// The "Your Computer" tab: what this machine can run, its memory against common configurations, the
// next upgrade, and a plain-text report to copy or save. Until detection ends it shows the title alone.
class MacPotentialView : public QWidget
{
    Q_OBJECT
public:
    MacPotentialView(const std::optional<MacCapabilityProfile>& profile, bool appleSilicon, Desktop& desktop,
        Dialogs& dialogs, Clock& clock, QWidget* parent = nullptr);

    void setProfile(const std::optional<MacCapabilityProfile>& profile, bool appleSilicon);

    // The report for the profile shown (empty without one).
    QString reportText() const;
    // The two ways to share: onto the clipboard, or into a text file the user chooses.
    void copyReport();
    void saveReport();

    bool isToastShown() const;
    QString toastText() const;
    QPushButton* shareButton() const { return m_share; }
    QMenu* shareMenu() const { return m_menu; }
    MemoryComparisonView* memoryComparison() const { return m_comparison; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void showToast(const QString& text);
    void placeToast();

    std::optional<MacCapabilityProfile> m_profile;
    bool m_appleSilicon = false;
    Desktop& m_desktop;
    Dialogs& m_dialogs;
    Clock& m_clock;
    Palette m_palette;

    QLabel* m_subtitle = nullptr;
    QWidget* m_body = nullptr;
    QVBoxLayout* m_bodyLayout = nullptr;
    MemoryComparisonView* m_comparison = nullptr;
    QPushButton* m_share = nullptr;
    QMenu* m_menu = nullptr;
    QLabel* m_toast = nullptr;
};
