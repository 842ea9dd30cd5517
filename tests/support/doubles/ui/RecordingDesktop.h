#pragma once

#include "ui/Desktop.h"

#include <QList>
#include <QStringList>

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
    // Both answer after the caller returns, as a file manager does.
    void openFolder(const QString& path, QObject* receiver, Answer answered) override;
    void revealFile(const QString& path, QObject* receiver, Answer answered) override;

    int copies = 0;
    bool foldersOpen = true; // whether a file manager answers openFolder
    QList<QUrl> openedUrls;
    QStringList openedFolders;
    QStringList revealedFiles;

private:
    QString m_clipboard;
};
