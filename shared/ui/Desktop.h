#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QObject;

// What the views ask of the desktop: the clipboard and opening things in other programs. Views take a
// Desktop so tests record the requests instead of starting a browser or a file manager.
class Desktop
{
public:
    // Whether the file manager showed what it was asked to, given on the GUI thread.
    using Answer = std::function<void(bool shown)>;

    virtual ~Desktop() = default;
    virtual void copyText(const QString& text) = 0;
    virtual QString clipboardText() const = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    // Shows the folder in the file manager without blocking the caller, and answers through `answered`
    // unless `receiver` is gone by then: false when no file manager showed it (none on the session bus
    // answered, and the program set up for folders is missing or failed). Call from the GUI thread.
    virtual void openFolder(const QString& path, QObject* receiver, Answer answered) = 0;
    // Shows the file selected in the file manager, or opens its folder where that is all there is;
    // answers as openFolder.
    virtual void revealFile(const QString& path, QObject* receiver, Answer answered) = 0;

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
    void openFolder(const QString& path, QObject* receiver, Answer answered) override;
    void revealFile(const QString& path, QObject* receiver, Answer answered) override;

private:
    QString m_busName;
};
