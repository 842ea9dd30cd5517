#include "ScriptedDialogs.h"

void ScriptedDialogs::confirm(QWidget*, const Confirmation& question, std::function<void(bool)> answer)
{
    questions << question;
    answer(confirmAnswer);
}

void ScriptedDialogs::chooseSaveFile(
    QWidget*, const QString& title, const QString& suggestedPath, std::function<void(const QString&)> chosen)
{
    titles << title;
    suggestedPaths << suggestedPath;
    chosen(chosenPath);
}

void ScriptedDialogs::chooseFolder(QWidget*, const QString& title, std::function<void(const QString&)> chosen)
{
    titles << title;
    chosen(chosenPath);
}
