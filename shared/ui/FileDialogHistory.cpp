#include "FileDialogHistory.h"

#include <QFile>
#include <QFileDialog>
#include <QMap>
#include <QSettings>
#include <QVariant>

#include <utility>

namespace {

const QString kOrganization = QStringLiteral("QtProject");
const QString kGroup = QStringLiteral("FileDialog");

// The user's own file only: the system's copy under /etc/xdg is neither read back nor written.
struct SharedSettings
{
    SharedSettings()
        : settings(QSettings::UserScope, kOrganization)
    {
        settings.setFallbacksEnabled(false);
    }
    QSettings settings;
};

struct Entries
{
    bool fileExisted = false;
    bool groupExisted = false;
    QMap<QString, QVariant> values;
};

Entries entriesNow()
{
    SharedSettings shared;
    QSettings& s = shared.settings;
    Entries entries;
    entries.fileExisted = QFile::exists(s.fileName());
    entries.groupExisted = s.childGroups().contains(kGroup);
    s.beginGroup(kGroup);
    for (const QString& key : s.allKeys())
        entries.values.insert(key, s.value(key));
    return entries;
}

void putBack(const Entries& entries)
{
    SharedSettings shared;
    QSettings& s = shared.settings;
    s.remove(kGroup);
    if (entries.groupExisted) {
        s.beginGroup(kGroup);
        for (auto it = entries.values.cbegin(); it != entries.values.cend(); ++it)
            s.setValue(it.key(), it.value());
        s.endGroup();
    }
    s.sync();
    if (!entries.fileExisted && s.allKeys().isEmpty())
        QFile::remove(s.fileName());
}

// A child of the dialog goes after the dialog's own destructor, which is where Qt writes its entries.
class Restorer : public QObject
{
public:
    Restorer(QObject* dialog, Entries entries)
        : QObject(dialog)
        , m_entries(std::move(entries))
    {
    }
    ~Restorer() override { putBack(m_entries); }

private:
    const Entries m_entries;
};

} // namespace

namespace FileDialogHistory {

void leaveAsFound(QFileDialog* dialog)
{
    new Restorer(dialog, entriesNow());
}

} // namespace FileDialogHistory
