#pragma once

#include <QString>

// `path` the way a user would type it: "~" in place of the home folder where the path lies in it, the
// full path otherwise.
QString homeRelativePath(const QString& path);
// As above, with `home` as the home folder.
QString homeRelativePath(const QString& path, const QString& home);
