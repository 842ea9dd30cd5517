#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PersonaConfiguration.h"
#endif

#include <QWidget>

#include <functional>

class QVBoxLayout;

// The first-run flow: five pages in one rounded translucent card of 380 x 420. Page 4 comes from
// the caller (the program's setup page), built anew each time the flow reaches it. The flow only
// moves forward; what finishing means is the caller's `onCompletion`.
class OnboardingView : public QWidget
{
    Q_OBJECT
public:
    using Workspace = PersonaConfiguration::WorkspacePersona;
    using Flavor = PersonaConfiguration::FlavorPersona;
    // Builds page 4; it moves the flow on with finishSetup().
    using PageFactory = std::function<QWidget*(OnboardingView& flow)>;

    OnboardingView(int currentStep, Workspace workspace, Flavor flavor, PageFactory permissionView,
        std::function<void()> onCompletion, QWidget* parent = nullptr);

    int currentStep() const { return m_step; }
    void setCurrentStep(int step);
    // Page 4 is done: the last page follows, saying whether processes can be paused (the helper is installed).
    void finishSetup(bool canPause);
    // This copy cannot set up the helper (page 4 will say why): page 3 says that no style freezes anything.
    void setHelperUnavailable(bool unavailable);
    Workspace workspacePersona() const { return m_workspace; }
    Flavor flavorPersona() const { return m_flavor; }
    QWidget* page() const { return m_page; }

signals:
    void currentStepChanged(int step);
    void workspacePersonaChanged(Workspace workspace);
    void flavorPersonaChanged(Flavor flavor);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showPage();

    int m_step;
    Workspace m_workspace;
    Flavor m_flavor;
    bool m_canPause = true;
    bool m_helperUnavailable = false;
    PageFactory m_permissionView;
    std::function<void()> m_onCompletion;
    QWidget* m_frame;
    QVBoxLayout* m_frameLayout;
    QWidget* m_page = nullptr;
};
