#pragma once

#include "JsonCodec.h"

#include <QString>

#include <optional>
#include <string>

// Whole-file reads and atomic writes of the application's JSON records.
namespace jsonfile {

// Writes through a temporary file that then replaces the target, so a crash never leaves a
// half-written file. On failure returns false and fills error.
bool writeAtomically(const QString& path, const std::string& bytes, QString* error = nullptr);

// The file's bytes; nullopt when it does not exist or cannot be read.
std::optional<std::string> readAll(const QString& path);

// What a bounded read found.
struct BoundedRead
{
    std::optional<std::string> bytes; // nullopt: missing, unreadable or too large
    bool tooLarge = false;
};
// The file's bytes when it holds at most maxBytes; a larger file is not read at all.
BoundedRead readAtMost(const QString& path, qint64 maxBytes);

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

// Sets aside a record file too large to be one this program wrote, and says so on the console.
void setAsideTooLarge(const QString& path, qint64 maxBytes);

// Reads and decodes a stored T. A missing file is nullopt; a file that fails to decode is set
// aside and is nullopt too, as is one larger than maxBytes (the most its store ever writes), which
// is set aside without being read.
template<class T> std::optional<T> load(const QString& path, qint64 maxBytes = kDefaultMaxBytes)
{
    const BoundedRead read = readAtMost(path, maxBytes);
    if (read.tooLarge)
        setAsideTooLarge(path, maxBytes);
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
