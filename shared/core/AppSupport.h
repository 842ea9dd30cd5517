#pragma once

#include <QString>

// The folder that holds the application's own records: $XDG_DATA_HOME/Quorvane
// (~/.local/share/Quorvane). Not created; what the privacy pages name and measure.
QString appSupportDirectoryPath();
// The same folder, created with its parents each time a path in it is asked for; a failure to create
// it is left to the write that follows.
QString appSupportDirectory();
QString appSupportFilePath(const QString& fileName);
