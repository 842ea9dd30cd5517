#pragma once

#include <QString>

// The copies kept beside the settings file: those set aside when the file could not be read
// ("<name>.corrupt-<time>") and those a write cut short left. They hold what the user had, so an
// erasure of one category takes its key out of them and leaves the rest.
namespace settingscopies {

// Rewrites every copy that holds `key` without the lines of that key (atomically, other lines byte
// for byte). Links and what is no regular file are left alone: what they lead to is not the
// program's. True when no copy holds the key afterwards.
bool removeKey(const QString& settingsFile, const QString& key);

} // namespace settingscopies
