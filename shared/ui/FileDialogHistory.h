#pragma once

class QFileDialog;

// Qt's own file dialog writes where it was used (its history, the last folder, the sidebar's places) into the
// settings file that every Qt program of the user shares, $XDG_CONFIG_HOME/QtProject.conf, as it goes, and
// cannot be told not to. The program keeps nothing on disk that its privacy pages do not name and erase, so
// each of its file dialogs leaves that file as it found it.
namespace FileDialogHistory {

// Notes the file's dialog entries now and puts them back once `dialog` has gone (and saved its own): another
// program's entries stay as they were, and a file only the dialog wrote is removed again.
void leaveAsFound(QFileDialog* dialog);

} // namespace FileDialogHistory
