#pragma once

#include <QWidget>

#include <array>

class SettingsView;

// The page shown for each sidebar entry. An entry whose page is not part of the program yet shows a
// placeholder naming it; to plug a page in, fill its slot in SettingsPages.cpp.
namespace SettingsPages {

using Builder = QWidget* (*)(SettingsView& view);

struct Page
{
    Builder build; // nullptr: the placeholder
    // The window's own sections sit in a padded column; the hosted pages fill the area as they are.
    bool ownSection;
    int spacing;
};

const std::array<Page, 13>& table();
// The page for `index`; an empty page for an index outside the table.
QWidget* create(int index, SettingsView& view);

// The storage panel that the Storage & Caches page embeds below its own rows.
QWidget* createStoragePanel(SettingsView& view);

} // namespace SettingsPages

// Stands in for a page that is not part of the program yet.
class PlaceholderPage : public QWidget
{
    Q_OBJECT
public:
    explicit PlaceholderPage(const QString& title, QWidget* parent = nullptr);
    QString title() const { return m_title; }

private:
    QString m_title;
};
