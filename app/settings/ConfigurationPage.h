#pragma once

#ifndef Q_MOC_RUN
#include "records/PersonaConfiguration.h"
#endif

#include <QWidget>

#include <functional>

class FlowLayout;
class QLineEdit;
class QPushButton;
class SettingsView;
struct Palette;

// What the Personas and Automation pages share: they show the persona configuration and write every
// change back at once through the view model's one committer. An edit starts from the newest
// configuration handed to the committer, so quick edits of different fields all survive.
class ConfigurationPage : public QWidget
{
    Q_OBJECT
public:
    // A text field with an "Add" button over removable chips of one list of the configuration.
    struct ListEditor
    {
        QLineEdit* field = nullptr;
        QPushButton* add = nullptr;
        FlowLayout* chips = nullptr;
    };

protected:
    ConfigurationPage(SettingsView& view, QWidget* parent);

    // The configuration the page shows: the newest one written or waiting to be.
    PersonaConfiguration shown() const;
    void edit(const std::function<void(PersonaConfiguration&)>& change);
    // Puts the shown configuration into the controls without writing anything back.
    virtual void showConfiguration(const PersonaConfiguration& configuration) = 0;

    using ListField = std::vector<std::string> PersonaConfiguration::*;
    // `text` is the field's text, kept by the window so it survives leaving the page.
    ListEditor makeListEditor(
        const QString& placeholder, QString& text, ListField list, double chipOpacity, const Palette& palette);
    void showList(const ListEditor& editor, const std::vector<std::string>& list);

    SettingsView& m_view;

private:
    void showLater();
};
