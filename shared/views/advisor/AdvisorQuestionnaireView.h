#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/UserRecommendationContext.h"
#endif

#include "ui/Palette.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class QPushButton;
class QVariantAnimation;
class ContextLengthRow;
class SpeedPreferenceRow;
class ToggleCard;
class UseCaseCard;

// The four questions behind a recommendation run: use case, speed, conversation length and builds.
// Answers live only in this widget and survive moving between steps; "Get Recommendations" hands a
// finished context to `onComplete` and leaves closing to the caller.
class AdvisorQuestionnaireView : public QWidget
{
    Q_OBJECT
public:
    using Completion = std::function<void(const UserRecommendationContext&)>;

    static constexpr int kWidth = 480;
    static constexpr int kHeight = 380;

    AdvisorQuestionnaireView(Completion onComplete, const MacCapabilityProfile& macProfile, QWidget* parent = nullptr);
    ~AdvisorQuestionnaireView() override;

    int step() const { return m_step; }
    std::optional<UseCase> primaryUseCase() const { return m_primaryUseCase; }
    UserRecommendationContext::SpeedPreference speedPreference() const { return m_speedPreference; }
    UserRecommendationContext::ContextLength contextLength() const { return m_contextLength; }
    bool runsAlongsideBuilds() const { return m_runsAlongsideBuilds; }

    // The share of the width the progress bar aims at: (step + 1) / 4.
    double progressFraction() const { return (m_step + 1) * 0.25; }
    // The bar's width as drawn now (animated toward progressFraction()).
    double drawnProgress() const { return m_drawnProgress; }

    QPushButton* nextButton() const { return m_next; }
    QPushButton* backButton() const { return m_back; }
    const QList<UseCaseCard*>& useCaseCards() const { return m_useCaseCards; }
    const QList<SpeedPreferenceRow*>& speedRows() const { return m_speedRows; }
    const QList<ContextLengthRow*>& lengthRows() const { return m_lengthRows; }
    ToggleCard* buildsYesCard() const { return m_yes; }
    ToggleCard* buildsNoCard() const { return m_no; }
    bool isBuildsNoteShown() const;

    // Jumps without animation; the snapshot program shows each step.
    void showStep(int step);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* buildUseCaseStep();
    QWidget* buildSpeedStep();
    QWidget* buildLengthStep();
    QWidget* buildBuildsStep();
    QWidget* stepBlock(const QString& title, const QString& subtitle, QWidget* choices);
    void setStep(int step, bool animated);
    void advance();
    void refresh();

    Completion m_onComplete;
    MacCapabilityProfile m_macProfile;
    Palette m_palette;

    int m_step = 0;
    std::optional<UseCase> m_primaryUseCase;
    UserRecommendationContext::SpeedPreference m_speedPreference = UserRecommendationContext::SpeedPreference::balanced;
    UserRecommendationContext::ContextLength m_contextLength = UserRecommendationContext::ContextLength::medium;
    bool m_runsAlongsideBuilds = false;
    std::optional<InferenceFramework> m_preferredFramework;

    double m_drawnProgress = 0.25;
    QVariantAnimation* m_progressAnimation = nullptr;
    QWidget* m_steps = nullptr;
    QList<QWidget*> m_blocks;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QList<UseCaseCard*> m_useCaseCards;
    QList<SpeedPreferenceRow*> m_speedRows;
    QList<ContextLengthRow*> m_lengthRows;
    ToggleCard* m_yes = nullptr;
    ToggleCard* m_no = nullptr;
    QWidget* m_buildsNote = nullptr;
};
