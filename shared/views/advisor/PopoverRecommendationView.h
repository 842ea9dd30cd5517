#pragma once

#include "AdvisorSheet.h"

#include "ui/Palette.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class AdvisorViewModel;
class DashboardViewModel;
class QLabel;
class QPushButton;
struct UserRecommendationContext;
struct MacCapabilityProfile;

// A compact card that suggests the best local model for coding alongside builds. Each time it comes on
// screen it detects the machine (once per view model) and ranks models for a fixed set of answers; the
// first recommendation is named with its expected performance. Either button opens the full advisor in
// its sheet, a window of its own that the card closes when it goes.
class PopoverRecommendationView : public QWidget
{
    Q_OBJECT
public:
    using AdvisorFactory = std::function<QWidget*()>;

    explicit PopoverRecommendationView(DashboardViewModel& dashboardVM, QWidget* parent = nullptr);
    // Tests and the snapshot program give the card's view model and what the sheet shows.
    PopoverRecommendationView(DashboardViewModel& dashboardVM, std::unique_ptr<AdvisorViewModel> advisorVM,
        AdvisorFactory makeAdvisor, QWidget* parent = nullptr);
    ~PopoverRecommendationView() override;

    // The answers the card ranks for: coding, balanced, medium context, alongside builds.
    static UserRecommendationContext fixedContext(const MacCapabilityProfile& profile);

    AdvisorViewModel& advisorVM() const { return *m_advisorVM; }
    bool showingAdvisor() const { return !m_sheet.isNull(); }
    AdvisorSheet* advisorSheet() const { return m_sheet; }
    void setShowingAdvisor(bool showing);

    QPushButton* analyzeButton() const { return m_analyze; }
    QPushButton* viewAdvisorButton() const { return m_viewAdvisor; }
    QLabel* recommendedLabel() const { return m_recommended; }
    QLabel* summaryLabel() const { return m_summary; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyPalette(const Palette& palette);
    void runWhenProfiled();
    void updateBody();

    DashboardViewModel& m_dashboardVM;
    std::unique_ptr<AdvisorViewModel> m_advisorVM;
    AdvisorFactory m_makeAdvisor;
    Palette m_palette;
    bool m_waitingForProfile = false;
    QLabel* m_symbol;
    QLabel* m_header;
    QPushButton* m_analyze;
    QWidget* m_result;
    QLabel* m_recommended;
    QLabel* m_summary;
    QPushButton* m_viewAdvisor;
    QPointer<AdvisorSheet> m_sheet;
    // The popup this card sits in, while it is hidden for the open advisor.
    QPointer<QWidget> m_poppedDown;
};
