#include "AboutSection.h"

#include "SettingsStyle.h"
#include "SettingsView.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/PersonaViewModel.h"
#include "records/AssistanceTracker.h"
#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

#include <QLabel>
#include <QVBoxLayout>

QString AboutSection::buildsText(const SavedYouMetrics& metrics)
{
    return tr("• Builds protected: ") + QString::number(metrics.buildsProtected);
}

QString AboutSection::hoursText(const SavedYouMetrics& metrics)
{
    return tr("• Active time saved: ") + NumberText::numberText("%.1f", metrics.totalHoursSaved) + tr(" hours");
}

AboutSection::AboutSection(SettingsView& view, QWidget* parent)
    : QWidget(parent)
    , m_view(view)
{
    const Palette palette = Palette::forTheme(view.themeManager().currentTheme());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    auto* shield = new QLabel;
    shield->setPixmap(SymbolIcon::pixmap(QStringLiteral("shield.fill"), 48, palette.blue, devicePixelRatioF()));
    shield->setAlignment(Qt::AlignCenter);
    column->addWidget(shield);

    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    QLabel* product = SettingsStyle::label(QStringLiteral("Quorvane"), palette, 18, true);
    if (!palette.light) {
        QPalette white = product->palette();
        white.setColor(QPalette::WindowText, Qt::white);
        product->setPalette(white);
    }
    QLabel* version = SettingsStyle::note(tr("Version 1.0.0 (Build 48)"), palette, 11);
    for (QLabel* line : {product, version}) {
        line->setWordWrap(false);
        line->setAlignment(Qt::AlignCenter);
        names->addWidget(line);
    }
    column->addLayout(names);
    column->addWidget(SettingsStyle::divider(palette));

    auto* stats = new QVBoxLayout;
    stats->setSpacing(2);
    QLabel* header = SettingsStyle::label(tr("Lifetime Stats:"), palette, 11, true);
    m_builds = SettingsStyle::note({}, palette);
    m_hours = SettingsStyle::note({}, palette);
    for (QLabel* line : {header, m_builds, m_hours}) {
        line->setWordWrap(false);
        line->setAlignment(Qt::AlignCenter);
        stats->addWidget(line);
    }
    column->addLayout(stats);

    // The counters on disk last across restarts; they change with each recorded assistance event and
    // with each persona change the view model refreshes.
    NotificationCenter::defaultCenter().observe(
        Notifications::assistanceEventAdded, this, [this](const QVariantMap&) { showMetrics(); });
    connect(&view.personaVM(), &PersonaViewModel::savedYouMetricsChanged, this, &AboutSection::showMetrics);
    showMetrics();
}

void AboutSection::showMetrics()
{
    const SavedYouMetrics metrics = m_view.assistanceTracker().getMetrics();
    m_builds->setText(buildsText(metrics));
    m_hours->setText(hoursText(metrics));
}
