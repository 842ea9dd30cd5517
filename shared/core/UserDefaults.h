#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The application's settings store (~/.config/Quorvane/Quorvane Pro.conf), keyed exactly as the
// records name their keys. JSON values are stored as text. Safe from any thread; every write
// emits valueChanged(key), delivered to receivers on their own threads.
class UserDefaults : public QObject
{
    Q_OBJECT
public:
    // The store every part of the program shares.
    static UserDefaults& standard();
    static QString standardFilePath();

    // A real settings file holds a few KiB (the persona lists, twelve digests, the build totals); one
    // above this bound is no file this program wrote, and is set aside unread.
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

    // Opens the store. A file that is no regular file (a FIFO would hang the open), is larger than
    // kMaxFileBytes or cannot be parsed is set aside as "<name>.corrupt-<time>" and the settings start
    // from their defaults; when it cannot be moved, they are kept in memory for this run.
    explicit UserDefaults(const QString& filePath, QObject* parent = nullptr);
    ~UserDefaults() override;

    const QString& filePath() const { return m_filePath; }

    bool contains(const QString& key) const;
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    // Removes every key of the application and the file itself, with any copy kept beside it (the
    // privacy erasure of all settings). True when neither a key nor a file is left.
    bool removeAll();
    QStringList allKeys() const;

    // A stored data value (JSON text); nullopt when the key holds nothing.
    std::optional<std::string> data(const QString& key) const;
    void setData(const QString& key, const std::string& bytes);

    std::optional<QString> string(const QString& key) const;
    void setString(const QString& key, const QString& value);

    bool boolValue(const QString& key, bool fallback) const;
    void setBool(const QString& key, bool value);

    // Writes pending changes to disk now (they are written on destruction otherwise).
    void sync();

signals:
    void valueChanged(const QString& key);

private:
    const QString m_filePath;
    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};
