#pragma once

#include <QWidget>

class QLabel;
class SettingsButton;
class SettingsTour;
struct Palette;

// The tour's floating card: progress capsules, the step's title and text, and Back, Skip and
// Next/Finish. It reads the tour and updates in place on every change.
class TourCard : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 320;

    explicit TourCard(SettingsTour& tour, QWidget* parent = nullptr);

    void applyPalette(const Palette& palette);
    void refresh();

    SettingsButton* backButton() const { return m_back; }
    SettingsButton* skipButton() const { return m_skip; }
    SettingsButton* nextButton() const { return m_next; }
    QString titleText() const;
    QString bodyText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SettingsTour& m_tour;
    QWidget* m_progress;
    QLabel* m_header;
    QLabel* m_headerIcon;
    QLabel* m_title;
    QLabel* m_body;
    QWidget* m_divider;
    SettingsButton* m_back;
    SettingsButton* m_skip;
    SettingsButton* m_next;
};
