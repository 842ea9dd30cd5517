#include "StorageSection.h"

#include "PathRow.h"
#include "SettingsPages.h"
#include "SettingsStyle.h"
#include "SettingsView.h"

#include "core/HomeRelativePath.h"
#include "records/ThemeManager.h"
#include "storage/StorageRoots.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kFixedUnloadMinutes = 15;

QString shortened(const std::string& path, const std::string& home)
{
    return homeRelativePath(QString::fromStdString(path), QString::fromStdString(home));
}

} // namespace

QStringList StorageSection::scannedFolders(const StorageRoots& roots)
{
    QStringList folders;
    auto add = [&](const std::string& path) {
        const QString shown = shortened(path, roots.home);
        if (!path.empty() && !folders.contains(shown))
            folders.append(shown);
    };
    for (const std::string& path : roots.ollamaModels)
        add(path);
    add(roots.huggingFaceHub);
    for (const std::string& path : roots.lmStudioModels)
        add(path);
    return folders;
}

StorageSection::StorageSection(SettingsView& view, QWidget* parent)
    : QWidget(parent)
    , m_pathField(new QLineEdit(view.newPath))
    , m_addPath(new QPushButton(tr("Add Path")))
    , m_unload(new QButtonGroup(this))
    , m_paths(scannedFolders(StorageRoots::fromEnvironment()))
{
    const Palette palette = Palette::forTheme(view.themeManager().currentTheme());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    column->addWidget(SettingsStyle::title(tr("Storage, Models & Developer Caches"), palette));

    auto* paths = new QVBoxLayout;
    paths->setSpacing(6);
    paths->addWidget(SettingsStyle::header(tr("Search Paths"), palette));
    auto* entry = new QHBoxLayout;
    m_pathField->setPlaceholderText(tr("Path to local models"));
    m_pathField->setFont(Fonts::system(12));
    connect(m_pathField, &QLineEdit::textChanged, this, [&view](const QString& text) { view.newPath = text; });
    // The inventory scans only its own stores, so a typed folder could not be honoured.
    m_addPath->setEnabled(false);
    m_addPath->setToolTip(tr("The scanned folders are fixed: models are found in the Ollama, Hugging Face and "
                             "LM Studio folders listed below."));
    entry->addWidget(m_pathField, 1);
    entry->addWidget(m_addPath);
    paths->addLayout(entry);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(4);
    for (const QString& path : m_paths)
        rows->addWidget(new PathRow(path));
    paths->addLayout(rows);
    column->addLayout(paths);

    column->addWidget(SettingsStyle::divider(palette));

    auto* unload = new QVBoxLayout;
    unload->setSpacing(4);
    unload->addWidget(SettingsStyle::header(tr("Auto-Unload Suggestion Threshold"), palette));
    unload->addWidget(SettingsStyle::note(tr("Suggest unloads if inactive for more than:"), palette));
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    const QList<QPair<QString, int>> choices {
        {tr("5 minutes"), 5}, {tr("15 minutes"), 15}, {tr("30 minutes"), 30}, {tr("1 hour"), 60}};
    for (const auto& [text, minutes] : choices) {
        auto* segment = new QPushButton(text);
        segment->setCheckable(true);
        segment->setFont(Fonts::system(11));
        m_unload->addButton(segment, minutes);
        SettingsStyle::markWhenChecked(segment, palette);
        segments->addWidget(segment);
    }
    segments->addStretch(1);
    m_unload->button(kFixedUnloadMinutes)->setChecked(true);
    // Nothing reads the threshold, so the choice stays at its one value.
    connect(m_unload, &QButtonGroup::idClicked, this,
        [this](int) { m_unload->button(kFixedUnloadMinutes)->setChecked(true); });
    unload->addLayout(segments);
    column->addLayout(unload);

    column->addWidget(SettingsStyle::divider(palette));
    column->addWidget(SettingsPages::createStoragePanel(view));
}
