#pragma once

#include <QString>
#include <QUrl>

class QDBusConnection;

// What the views ask of the desktop: the clipboard and opening things in other programs. Views take a
// Desktop so tests record the requests instead of starting a browser or a file manager.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual void copyText(const QString& text) = 0;
    virtual QString clipboardText() const = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    // False when no file manager showed the folder (none on the session bus answered, and none is set
    // up for folders). Waits a few seconds at most for the answer: views call it on a worker.
    virtual bool openFolder(const QString& path) = 0;
    // Shows the file selected in the file manager, or opens its folder where that is all there is; false
    // as openFolder. Waits as openFolder does.
    virtual bool revealFile(const QString& path) = 0;

    static Desktop& system();
};

class SystemDesktop : public Desktop
{
public:
    // The file manager is looked for on the session bus, or on the connection named `busName`.
    explicit SystemDesktop(const QString& busName = {});

    void copyText(const QString& text) override;
    QString clipboardText() const override;
    bool openUrl(const QUrl& url) override;
    bool openFolder(const QString& path) override;
    bool revealFile(const QString& path) override;

private:
    QDBusConnection bus() const;

    QString m_busName;
};
