#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Questions put to the user. Every answer arrives through a callback, so nothing waits in a nested
// event loop; tests answer with ScriptedDialogs.
class Dialogs
{
public:
    struct Confirmation
    {
        QString title;
        QString text;
        QString confirmLabel;
        bool destructive = false;
    };

    virtual ~Dialogs() = default;
    // `answer(true)` when the user confirms, `answer(false)` when they cancel or close the question.
    virtual void confirm(QWidget* parent, const Confirmation& question, std::function<void(bool)> answer) = 0;
    // The chosen path, or an empty string when the user cancels.
    virtual void chooseSaveFile(
        QWidget* parent, const QString& title, const QString& suggestedPath, std::function<void(const QString&)> chosen)
        = 0;
    virtual void chooseFolder(QWidget* parent, const QString& title, std::function<void(const QString&)> chosen) = 0;

    static Dialogs& system();
};

// Window-modal dialogs opened with open(), answering when they close.
class SystemDialogs : public Dialogs
{
public:
    void confirm(QWidget* parent, const Confirmation& question, std::function<void(bool)> answer) override;
    void chooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
        std::function<void(const QString&)> chosen) override;
    void chooseFolder(QWidget* parent, const QString& title, std::function<void(const QString&)> chosen) override;
};
