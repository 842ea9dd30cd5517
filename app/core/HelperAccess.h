#pragma once

#include <QString>

#include <string>
#include <sys/types.h>

// Whether the root helper will act for this copy of the program. It answers only the root-owned
// program at its installed path, so a copy run from a build folder cannot suspend processes.
enum class HelperAccess {
    available,
    notInstalled, // nothing answers on the helper's socket
    notInstalledProgram, // the helper answers, but this copy is not the installed program
    programReplaced, // this copy was the installed program, but an upgrade or reinstall replaced its file
    programRemoved, // this copy was the installed program, but its file was removed (the package removed)
};

// `installedProgram` is the path the helper trusts; the copy is judged by the helper's own rule
// (same file, root-owned, writable by nobody else). Blocks up to about a second: call it on a worker.
HelperAccess checkHelperAccess(const std::string& socketPath, const std::string& installedProgram, pid_t self);
// The installed program's path, as the package puts it.
std::string installedProgramPath();
// What became of `installedProgram` when `runningProgram` (the running executable, /proc/<pid>/exe) was
// started from it: `programReplaced` once an upgrade or reinstall put another file there,
// `programRemoved` once nothing is there, else `available`. The helper no longer recognises a replaced
// or removed copy. Two stats and a readlink: cheap enough for every persona cycle.
HelperAccess installedProgramChange(const std::string& installedProgram, const std::string& runningProgram);
// What to tell the user, in plain words; empty when the helper is available.
QString helperAccessMessage(HelperAccess access);
// Why this copy (process `self`) cannot set up the helper so that it pauses processes for it, in plain words
// that say where the helper comes from; empty when it can: it is `installedProgram` by the helper's own rule
// and `setupProgram` is there. A few stats, cheap enough for the GUI thread.
QString helperSetupUnavailableReason(const std::string& installedProgram, pid_t self, const QString& setupProgram);
// The reason a single request to the helper failed when nothing listens on its socket.
std::string helperNotInstalledReason();
// Why an action that needs the helper cannot run, said before it is tried; empty when the helper is available.
std::string helperNeededReason(HelperAccess access);
