#include "ConfigurationPage.h"

#include "FlowLayout.h"
#include "SettingsStyle.h"
#include "SettingsView.h"

#include "core/PersonaViewModel.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

ConfigurationPage::ConfigurationPage(SettingsView& view, QWidget* parent)
    : QWidget(parent)
    , m_view(view)
{
    connect(&view.personaVM(), &PersonaViewModel::configurationChanged, this, &ConfigurationPage::showLater);
}

PersonaConfiguration ConfigurationPage::shown() const
{
    return m_view.personaVM().configCommitter().latest();
}

void ConfigurationPage::edit(const std::function<void(PersonaConfiguration&)>& change)
{
    PersonaConfiguration configuration = shown();
    change(configuration);
    m_view.personaVM().configCommitter().commit(configuration);
    showLater();
}

// Controls are refreshed after the event that changed them has finished: a chip's own remove button
// must not be deleted while it is being clicked.
void ConfigurationPage::showLater()
{
    QMetaObject::invokeMethod(
        this, [this] { showConfiguration(shown()); }, Qt::QueuedConnection);
}

ConfigurationPage::ListEditor ConfigurationPage::makeListEditor(
    const QString& placeholder, QString& text, ListField list, double chipOpacity, const Palette& palette)
{
    ListEditor editor;
    editor.field = new QLineEdit(text);
    editor.field->setPlaceholderText(placeholder);
    editor.field->setFont(Fonts::system(12));
    editor.add = new QPushButton(tr("Add"));
    editor.add->setFont(Fonts::system(12));
    connect(editor.field, &QLineEdit::textChanged, this, [&text](const QString& typed) { text = typed; });
    // Only the button adds; the entry is kept exactly as typed.
    connect(editor.add, &QPushButton::clicked, this, [this, &text, list, field = editor.field] {
        if (text.isEmpty())
            return;
        const std::string entry = text.toStdString();
        field->clear();
        edit([&](PersonaConfiguration& c) { (c.*list).push_back(entry); });
    });
    editor.chips = new FlowLayout({}, [this, list, chipOpacity, palette](const QString& item) {
        return SettingsStyle::chip(item, chipOpacity, palette, [this, list, entry = item.toStdString()] {
            edit([&](PersonaConfiguration& c) { std::erase(c.*list, entry); });
        });
    });
    return editor;
}

void ConfigurationPage::showList(const ListEditor& editor, const std::vector<std::string>& list)
{
    QStringList items;
    for (const std::string& entry : list)
        items.append(QString::fromStdString(entry));
    if (items != editor.chips->items())
        editor.chips->setItems(items);
}
