#include "Dialogs.h"

#include "FileDialogHistory.h"
#include "WidgetPalette.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

Dialogs& Dialogs::system()
{
    static SystemDialogs dialogs;
    return dialogs;
}

void SystemDialogs::confirm(QWidget* parent, const Confirmation& question, std::function<void(bool)> answer)
{
    auto* box = new QMessageBox(QMessageBox::Warning, question.title, question.text, QMessageBox::NoButton, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    WidgetPalette::follow(box);
    QPushButton* yes = box->addButton(
        question.confirmLabel, question.destructive ? QMessageBox::DestructiveRole : QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Cancel);
    QObject::connect(box, &QMessageBox::finished, box,
        [box, yes, answer = std::move(answer)](int) { answer(box->clickedButton() == yes); });
    box->open();
}

namespace {

// Qt's own file dialog rather than the desktop's: it is drawn in the theme like the views it opens over. It
// leaves no record of where the user saved behind.
QFileDialog* themedFileDialog(QWidget* parent, const QString& title, const QString& path = {})
{
    auto* dialog = new QFileDialog(parent, title, path);
    FileDialogHistory::leaveAsFound(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::WindowModal);
    WidgetPalette::follow(dialog);
    return dialog;
}

} // namespace

void SystemDialogs::chooseSaveFile(
    QWidget* parent, const QString& title, const QString& suggestedPath, std::function<void(const QString&)> chosen)
{
    auto* dialog = themedFileDialog(parent, title, suggestedPath);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        chosen(result == QDialog::Accepted ? files.value(0) : QString());
    });
    dialog->open();
}

void SystemDialogs::chooseFolder(QWidget* parent, const QString& title, std::function<void(const QString&)> chosen)
{
    auto* dialog = themedFileDialog(parent, title);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        chosen(result == QDialog::Accepted ? files.value(0) : QString());
    });
    dialog->open();
}
