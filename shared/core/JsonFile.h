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

// Renames a file that exists but does not decode to "<name>.corrupt-<unix seconds>", so that
// the next save cannot destroy what the user had. Returns the new path, or empty on failure.
QString setAside(const QString& path);

// Erasure: removes the file together with every copy kept beside it, those set aside by setAside()
// and those an interrupted write left ("<name>.<anything>"). True when none of them remains; a file
// that was never there is no failure.
bool removeWithCopies(const QString& path);
// The copies alone, leaving the file itself.
bool removeCopies(const QString& path);

// Reads and decodes a stored T. A missing file is nullopt; a file that fails to decode is set
// aside and is nullopt too.
template<class T> std::optional<T> load(const QString& path)
{
    const auto bytes = readAll(path);
    if (!bytes)
        return std::nullopt;
    auto value = jsoncodec::decodeText<T>(*bytes);
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
