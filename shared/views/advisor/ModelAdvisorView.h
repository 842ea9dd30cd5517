#pragma once

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class AdvisorQuestionnaireView;
class AdvisorViewModel;
class Clock;
class Desktop;
class Dialogs;
class FrameworkAdvisorView;
class MacPotentialView;
class QScrollArea;
class QStackedWidget;
class QTabBar;
class QVBoxLayout;
class RecommendationCardView;

// The model advisor window's content: three tabs over one view model of its own. "Models" shows the
// machine, then the questionnaire prompt, the progress of a run or its results; the questionnaire opens
// in a window-modal dialog over it.
class ModelAdvisorView : public QWidget
{
    Q_OBJECT
public:
    enum class AdvisorTab { models, frameworks, potential };
    enum class ModelsState { prompt, loading, results };

    explicit ModelAdvisorView(QWidget* parent = nullptr);
    // Tests and the snapshot program give the view model and the desktop services.
    ModelAdvisorView(std::unique_ptr<AdvisorViewModel> viewModel, Desktop& desktop, Dialogs& dialogs, Clock& clock,
        QWidget* parent = nullptr);
    ~ModelAdvisorView() override;

    AdvisorViewModel& viewModel() const { return *m_viewModel; }
    AdvisorTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(AdvisorTab tab);
    ModelsState modelsState() const;
    QTabBar* tabBar() const { return m_tabBar; }

    // The questionnaire while its dialog is open.
    AdvisorQuestionnaireView* questionnaire() const;
    QDialog* questionnaireDialog() const { return m_sheet; }
    void openQuestionnaire();

    // What the Models tab shows now, for tests: the widgets of its column in order.
    QList<QWidget*> modelsTabWidgets() const;
    QList<RecommendationCardView*> cards() const;
    FrameworkAdvisorView* frameworkView() const { return m_frameworks; }
    MacPotentialView* potentialView() const { return m_potential; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildContent();
    void rebuildForTheme();
    void rebuildModelsTab();
    void addResults();

    std::unique_ptr<AdvisorViewModel> m_viewModel;
    Desktop& m_desktop;
    Dialogs& m_dialogs;
    Clock& m_clock;
    AdvisorTab m_selectedTab = AdvisorTab::models;
    bool m_loadStarted = false;

    QWidget* m_content = nullptr;
    QTabBar* m_tabBar = nullptr;
    QStackedWidget* m_pages = nullptr;
    QScrollArea* m_modelsScroll = nullptr;
    QVBoxLayout* m_modelsColumn = nullptr;
    QHash<QString, RecommendationCardView*> m_cards;
    FrameworkAdvisorView* m_frameworks = nullptr;
    MacPotentialView* m_potential = nullptr;
    QPointer<QDialog> m_sheet;
};
