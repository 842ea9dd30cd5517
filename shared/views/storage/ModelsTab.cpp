#include "ModelsTab.h"

#include "CleanOfferBar.h"
#include "ConfirmationBox.h"
#include "ModelInventoryView.h"
#include "ModelRow.h"
#include "StorageStyle.h"
#include "StorageTexts.h"
#include "ui/Contrast.h"
#include "ui/Layouts.h"
#include "ui/PillButton.h"
#include "ui/RoundedFill.h"

#include "storage/ModelInventoryViewModel.h"

#include "core/NumberFormat.h"
#include "core/Units.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace StorageStyle;

namespace {

QString filterLabel(InventoryFilter filter, const ModelInventoryViewModel& vm)
{
    std::size_t count = 0;
    switch (filter) {
    case InventoryFilter::all:
        count = vm.installedModels().size();
        break;
    case InventoryFilter::archiveCandidates:
        count = vm.archiveCandidates().size();
        break;
    case InventoryFilter::duplicates:
        count = vm.duplicateModels().size();
        break;
    }
    return QString::fromStdString(rawValue(filter)) + QStringLiteral(" (") + QString::number(count)
        + QStringLiteral(")");
}

QString emptyTextFor(InventoryFilter filter)
{
    switch (filter) {
    case InventoryFilter::archiveCandidates:
        return ModelsTab::tr("No archive candidates. All models have been used recently!");
    case InventoryFilter::duplicates:
        return ModelsTab::tr("No duplicate models detected across frameworks.");
    case InventoryFilter::all:
        break;
    }
    return ModelsTab::tr("No models found in Ollama, Hugging Face, or LM Studio.");
}

} // namespace

ModelsTab::ModelsTab(
    ModelInventoryView& view, ModelInventoryViewModel& viewModel, const Palette& palette, QWidget* parent)
    : StorageListTab(palette, QString(), QMargins(12, 12, 12, 12), parent)
    , m_view(view)
    , m_viewModel(viewModel)
{
    m_emptyText->setWordWrap(true);
    connect(&viewModel, &ModelInventoryViewModel::installedModelsChanged, this, &ModelsTab::refresh);
    connect(&viewModel, &ModelInventoryViewModel::selectedModelIdsChanged, this, &ModelsTab::refresh);
    connect(&viewModel, &ModelInventoryViewModel::activeFilterChanged, this, &ModelsTab::refresh);
    refresh();
}

void ModelsTab::applyPalette(const Palette& palette)
{
    restyleList(palette);
    for (ModelRow* row : m_rows)
        row->deleteLater();
    m_rows.clear();
    refresh();
}

void ModelsTab::setModelsToClean(std::optional<std::vector<InventoryModel>> models)
{
    m_modelsToClean = std::move(models);
    refresh();
}

void ModelsTab::confirmDeletion()
{
    if (!m_modelsToClean)
        return;
    std::vector<InventoryModel> models = std::move(*m_modelsToClean);
    setModelsToClean(std::nullopt);
    // The view model lives as long as the view, so this runs only while the view is there to show it.
    ModelInventoryView* view = &m_view;
    ModelInventoryViewModel* vm = &m_viewModel;
    m_viewModel.cleanModels(std::move(models), [view, vm](ModelDeletionResult result) {
        ModelInventoryView::announceReclaimed();
        vm->scan([view, result] { view->showResult(StorageTexts::modelsDeleted(result)); });
    });
}

void ModelsTab::refresh()
{
    rebuildTop();
    refreshList();
}

void ModelsTab::rebuildTop()
{
    Layouts::clearLater(m_topLayout);
    m_confirmation = m_quickClean = m_selectionBar = nullptr;
    m_quickCleanButton = m_selectionClean = m_deselect = m_deleteButton = m_cancelButton = nullptr;
    m_chips.clear();
    if (m_modelsToClean)
        m_topLayout->addWidget(m_confirmation = buildConfirmation());
    if (!m_viewModel.archiveCandidates().empty() && !m_modelsToClean)
        m_topLayout->addWidget(m_quickClean = buildQuickClean());
    m_topLayout->addWidget(buildChips());
    if (!m_viewModel.selectedModelIds().empty())
        m_topLayout->addWidget(m_selectionBar = buildSelectionBar());
}

QWidget* ModelsTab::buildConfirmation()
{
    const auto& models = *m_modelsToClean;
    const StorageFootprint::Reclaim reclaim = m_viewModel.reclaimFor(models);
    QList<QLabel*> lines {
        label(StorageTexts::deletionQuestion(models, reclaim), Fonts::system(kSmallPixels), m_palette.secondaryText),
        label(StorageTexts::deletionNames(models), Fonts::system(kSmallPixels, QFont::DemiBold), m_palette.text)};
    if (const QString kept = StorageTexts::keptFiles(reclaim); !kept.isEmpty())
        lines << label(kept, Fonts::system(kSmallPixels), m_palette.text);
    const ConfirmationBox confirmation(m_palette,
        {m_palette.red, tr("Confirm Deletion"),
            tr("Delete (") + QString::fromStdString(gigabyteSizeText(gigabytes(reclaim.bytes))) + QStringLiteral(")"),
            m_palette.onTint()},
        lines);
    m_cancelButton = confirmation.cancel;
    m_deleteButton = confirmation.confirm;
    connect(confirmation.close, &QAbstractButton::clicked, this, [this] { setModelsToClean(std::nullopt); });
    connect(m_cancelButton, &QAbstractButton::clicked, this, [this] { setModelsToClean(std::nullopt); });
    connect(m_deleteButton, &QAbstractButton::clicked, this, &ModelsTab::confirmDeletion);
    return confirmation.box;
}

QWidget* ModelsTab::buildQuickClean()
{
    const auto candidates = m_viewModel.archiveCandidates();
    const CleanOfferBar offer(m_palette,
        {m_palette.orange, 0.3, tr("Quick Clean:"),
            QString::fromStdString(gigabyteSizeText(m_viewModel.archiveReclaimableGB())),
            QString::number(candidates.size()) + tr(" unused models untouched for > 30 days"),
            Contrast::readableOn(m_palette.orange, m_palette.onTint())});
    m_quickCleanButton = offer.button;
    connect(m_quickCleanButton, &QAbstractButton::clicked, this,
        [this] { setModelsToClean(m_viewModel.archiveCandidates()); });
    return offer.box;
}

QWidget* ModelsTab::buildChips()
{
    auto* strip = new QWidget;
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (InventoryFilter filter : allCases<InventoryFilter>()) {
        const bool active = filter == m_viewModel.activeFilter();
        auto* chip = new PillButton(filterLabel(filter, m_viewModel));
        chip->setFont(Fonts::system(kSmallPixels, active ? QFont::Bold : QFont::Medium));
        chip->setPadding(6, 3);
        const QColor tint = withOpacity(m_palette.blue, 0.2);
        // The chosen filter's blue, shaded where its own tint leaves it too pale (the light theme).
        chip->setColors(active ? Contrast::readableShade(m_palette.blue, Contrast::over(tint, m_palette.background))
                               : m_palette.secondaryText,
            active ? tint : withOpacity(controlBackground(m_palette), 0.3));
        chip->setCheckable(true);
        chip->setChecked(active);
        connect(chip, &QAbstractButton::clicked, this, [this, filter] { m_viewModel.setActiveFilter(filter); });
        row->addWidget(chip);
        m_chips << chip;
    }
    row->addStretch();
    return strip;
}

QWidget* ModelsTab::buildSelectionBar()
{
    const auto selected = m_viewModel.selectedModels();
    const double total = m_viewModel.selectedStorageGB();
    auto* box = new RoundedFill(withOpacity(m_palette.red, 0.08), 4);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(6);
    row->addWidget(label(QString::number(selected.size()) + tr(" selected (")
            + QString::fromStdString(gigabyteSizeText(total)) + QStringLiteral(")"),
        Fonts::system(kSmallPixels + 1, QFont::Medium), m_palette.text));
    row->addStretch();
    m_deselect = new PillButton(tr("Deselect"));
    m_deselect->setFont(Fonts::system(kSmallPixels + 1));
    m_deselect->setPadding(4, 3);
    m_deselect->setColors(m_palette.secondaryText, QColor());
    connect(m_deselect, &QAbstractButton::clicked, this, [this] { m_viewModel.setSelectedModelIds({}); });
    row->addWidget(m_deselect);
    m_selectionClean = new PillButton(
        tr("Clean (") + QString::fromStdString(gigabyteSizeText(total, SizeUnit::joined)) + QStringLiteral(")"));
    m_selectionClean->setSymbol(QStringLiteral("trash.fill"));
    m_selectionClean->setFont(Fonts::system(kSmallPixels + 1, QFont::Bold));
    m_selectionClean->setPadding(6, 3);
    m_selectionClean->setColors(m_palette.onTint(), withOpacity(m_palette.red, 0.85));
    connect(
        m_selectionClean, &QAbstractButton::clicked, this, [this] { setModelsToClean(m_viewModel.selectedModels()); });
    row->addWidget(m_selectionClean);
    return box;
}

void ModelsTab::refreshList()
{
    const auto models = m_viewModel.filteredModels();
    const auto& selected = m_viewModel.selectedModelIds();
    m_emptyText->setText(emptyTextFor(m_viewModel.activeFilter()));
    m_emptyText->setVisible(models.empty());
    m_scroll->setVisible(!models.empty());

    // Rows stay while the same models are listed, so a click keeps the list where it was scrolled.
    bool same = models.size() == m_rows.size();
    for (std::size_t i = 0; same && i < models.size(); ++i)
        same = m_rows[i]->model() == models[i];
    if (same) {
        for (ModelRow* row : m_rows)
            row->setSelected(selected.contains(row->model().id()));
        return;
    }
    for (ModelRow* row : m_rows) {
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    const Date now = Date::now();
    for (const auto& m : models) {
        auto* row = new ModelRow(
            m, m_palette, selected.contains(m.id()), now, [this, m] { m_viewModel.toggleSelection(m); },
            [this, m] { setModelsToClean(std::vector<InventoryModel> {m}); });
        m_listLayout->insertWidget(static_cast<int>(m_rows.size()), row);
        row->show();
        m_rows.push_back(row);
    }
    fitList();
}
