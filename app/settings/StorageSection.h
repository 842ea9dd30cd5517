#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QLineEdit;
class QPushButton;
class SettingsView;
struct StorageRoots;

// The Storage & Caches page: the folders the model inventory really scans, the unload-suggestion
// threshold and the storage panel.
class StorageSection : public QWidget
{
    Q_OBJECT
public:
    explicit StorageSection(SettingsView& view, QWidget* parent = nullptr);

    // Every folder the model stores are scanned in, in scan order, with the home folder as "~".
    static QStringList scannedFolders(const StorageRoots& roots);

    QLineEdit* pathField() const { return m_pathField; }
    QPushButton* addPathButton() const { return m_addPath; }
    QButtonGroup* unloadChoices() const { return m_unload; }
    QStringList shownPaths() const { return m_paths; }

private:
    QLineEdit* m_pathField;
    QPushButton* m_addPath;
    QButtonGroup* m_unload;
    QStringList m_paths;
};
