#pragma once

#include <QString>

// The folder that holds the application's own records: $XDG_DATA_HOME/Quorvane
// (~/.local/share/Quorvane). Created, with its parents, each time a path in it is asked for;
// a failure to create it is left to the write that follows.
QString appSupportDirectory();
QString appSupportFilePath(const QString& fileName);
