#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What the views ask of the desktop: the clipboard and opening things in other programs. Views take a
// Desktop so tests record the requests instead of starting a browser or a file manager.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual void copyText(const QString& text) = 0;
    virtual QString clipboardText() const = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    // False when no file manager is there to show the folder (none on the session bus, and none set up
    // for folders). May wait on the session bus for a moment: views call it on a worker.
    virtual bool openFolder(const QString& path) = 0;
    // Shows the file selected in the file manager; opens its folder where no file manager answers.
    virtual bool revealFile(const QString& path) = 0;

    static Desktop& system();
};

class SystemDesktop : public Desktop
{
public:
    void copyText(const QString& text) override;
    QString clipboardText() const override;
    bool openUrl(const QUrl& url) override;
    bool openFolder(const QString& path) override;
    bool revealFile(const QString& path) override;
};

// Keeps every request in memory and performs none.
class RecordingDesktop : public Desktop
{
public:
    void copyText(const QString& text) override
    {
        m_clipboard = text;
        ++copies;
    }
    QString clipboardText() const override { return m_clipboard; }
    bool openUrl(const QUrl& url) override;
    bool openFolder(const QString& path) override;
    bool revealFile(const QString& path) override;

    int copies = 0;
    bool foldersOpen = true; // whether a file manager answers openFolder
    QList<QUrl> openedUrls;
    QStringList openedFolders;
    QStringList revealedFiles;

private:
    QString m_clipboard;
};
