#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes an executable shell script to `path` with `body` after its #! line.
inline bool writeScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\n" + body);
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Makes `folder` the whole search path for as long as it lives: programs looked up by name are the
// fakes put there, or none.
class ScopedPath
{
public:
    explicit ScopedPath(const QString& folder)
        : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", folder.toLocal8Bit());
    }
    ~ScopedPath() { qputenv("PATH", m_saved); }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    QByteArray m_saved;
};
