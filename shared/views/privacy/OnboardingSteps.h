#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PersonaConfiguration.h"
#endif

#include <QWidget>

class QLabel;

#include <functional>
#include <vector>

class PillButton;
class RoundedBox;
class SymbolLabel;

// The forward button of every first-run page: bold 13-pixel white text on a rounded colour.
PillButton* onboardingButton(const QString& title, bool green, int horizontalPadding);

// Page 1: the logo, the name and what the program does.
class WelcomeStepView : public QWidget
{
    Q_OBJECT
public:
    explicit WelcomeStepView(std::function<void()> next, QWidget* parent = nullptr);
    // The logo the page shows ("" when the blue shield stands in for it).
    static QString logoPath();
};

// A column of choices of which exactly one is marked; pressing one reports its index.
class ChoiceList : public QWidget
{
    Q_OBJECT
public:
    struct Choice
    {
        QString icon;
        QString title;
        QString description; // empty for one-line rows
    };
    ChoiceList(const std::vector<Choice>& choices, int selected, int spacing, std::function<void(int)> choose,
        QWidget* parent = nullptr);
    int selected() const { return m_selected; }
    void setSelected(int index);
    void press(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<RoundedBox*> m_rows;
    std::vector<SymbolLabel*> m_marks;
    std::function<void(int)> m_choose;
    int m_selected;
};

// Page 2: what kind of work the user does.
class WorkspaceStepView : public QWidget
{
    Q_OBJECT
public:
    using Persona = PersonaConfiguration::WorkspacePersona;
    WorkspaceStepView(
        Persona selected, std::function<void(Persona)> select, std::function<void()> next, QWidget* parent = nullptr);
    ChoiceList* choices() const { return m_list; }

private:
    ChoiceList* m_list;
};

// Page 3: how resource conflicts are settled. Where this copy cannot set up the helper (`canPause` false)
// it says that no style will freeze anything.
class StyleStepView : public QWidget
{
    Q_OBJECT
public:
    using Flavor = PersonaConfiguration::FlavorPersona;
    StyleStepView(Flavor selected, std::function<void(Flavor)> select, std::function<void()> next, bool canPause = true,
        QWidget* parent = nullptr);
    ChoiceList* choices() const { return m_list; }
    // Empty where the styles can freeze.
    QString note() const;

private:
    ChoiceList* m_list;
    QLabel* m_note = nullptr;
};

// Page 5: the closing page. Without the helper (`canPause` false) it says what still holds instead of
// promising protection.
class ReadyStepView : public QWidget
{
    Q_OBJECT
public:
    explicit ReadyStepView(std::function<void()> onDone, bool canPause = true, QWidget* parent = nullptr);
};
