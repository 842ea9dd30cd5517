#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QStringList>

// Answers at once with preset answers and remembers each question.
class ScriptedDialogs : public Dialogs
{
public:
    void confirm(QWidget* parent, const Confirmation& question, std::function<void(bool)> answer) override;
    void chooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
        std::function<void(const QString&)> chosen) override;
    void chooseFolder(QWidget* parent, const QString& title, std::function<void(const QString&)> chosen) override;

    bool confirmAnswer = true;
    QString chosenPath;
    QList<Confirmation> questions;
    QStringList titles;
    QStringList suggestedPaths;
};
