#pragma once

#include "JsonCodec.h"

#include <QString>

#include <optional>
#include <string>

// Checked reads and atomic writes of the application's stored files, JSON records above all.
namespace jsonfile {

// Writes through a temporary file that then replaces the target, so a crash never leaves a
// half-written file. On failure returns false and fills error.
bool writeAtomically(const QString& path, const std::string& bytes, QString* error = nullptr);

// What stands at a stored file's path, as a checked open finds it.
enum class FileState {
    missing,
    regular, // a regular file (or a link to one) within the bound
    tooLarge, // a regular file above the bound
    notAFile, // a pipe, device, socket or folder: reading it could block or never end
    unreadable, // present, but it cannot be opened or read
};

// The one checked open of every stored file: opens without blocking (a FIFO would otherwise hold the
// open until a writer comes) and looks at what it opened; reads nothing. Bound: maxBytes.
FileState inspect(const QString& path, qint64 maxBytes);

// What a bounded read found.
struct BoundedRead
{
    std::optional<std::string> bytes; // only for a regular file within the bound
    FileState state = FileState::missing;
};
// The bytes of a regular file holding at most maxBytes, through the checked open; anything else is
// not read at all.
BoundedRead readAtMost(const QString& path, qint64 maxBytes);

// The file's bytes; nullopt when it is missing, unreadable, no regular file or larger than
// kDefaultMaxBytes.
std::optional<std::string> readAll(const QString& path);

// Renames a file that exists but does not decode to "<name>.corrupt-<unix seconds>", so that
// the next save cannot destroy what the user had. Returns the new path, or empty on failure.
QString setAside(const QString& path);

// Erasure: removes the file together with every copy kept beside it, those set aside by setAside()
// and those an interrupted write left ("<name>.<anything>"). True when none of them remains; a file
// that was never there is no failure.
bool removeWithCopies(const QString& path);
// The copies alone, leaving the file itself.
bool removeCopies(const QString& path);

// A file above this size is no record this program wrote.
inline constexpr qint64 kDefaultMaxBytes = 4 * 1024 * 1024;

// Sets aside what a checked open refused (a file above maxBytes, or no regular file at all) and says so
// on the console; true when it did. Nothing happens for a missing, unreadable or good file.
bool setAsideRefused(const QString& path, FileState state, qint64 maxBytes);

// Reads and decodes a stored T. A missing file is nullopt; a file that fails to decode is set
// aside and is nullopt too, as is one larger than maxBytes (the most its store ever writes) or one
// that is no regular file, which are set aside without being read.
template<class T> std::optional<T> load(const QString& path, qint64 maxBytes = kDefaultMaxBytes)
{
    const BoundedRead read = readAtMost(path, maxBytes);
    setAsideRefused(path, read.state, maxBytes);
    if (!read.bytes)
        return std::nullopt;
    auto value = jsoncodec::decodeText<T>(*read.bytes);
    if (!value)
        setAside(path);
    return value;
}

// Encodes and writes value atomically; false (with error) when encoding or writing fails.
template<class T> bool save(const QString& path, const T& value, QString* error = nullptr)
{
    const auto text = jsoncodec::encodeText(value);
    if (!text) {
        if (error)
            *error = QStringLiteral("The data couldn't be written because it isn't in the correct format.");
        return false;
    }
    return writeAtomically(path, *text, error);
}

} // namespace jsonfile
