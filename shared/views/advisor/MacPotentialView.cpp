#include "MacPotentialView.h"

#include "AdvisorStyle.h"
#include "AdvisorTexts.h"
#include "MemoryComparisonView.h"

#include "ui/CardPainter.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/Layouts.h"
#include "ui/SymbolIcon.h"
#include "ui/WidgetPalette.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>

using AdvisorStyle::TextStyle;

namespace {

constexpr int kToastMs = 2000;

} // namespace

CapabilityRow::CapabilityRow(const MacCapabilityProfile::Capability& capability, bool appleSilicon, QWidget* parent)
    : QWidget(parent)
{
    const Palette palette = Palette::current();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 8, 4, 8);
    row->setSpacing(12);
    row->addWidget(AdvisorStyle::symbolLabel(
        QString::fromStdString(capability.icon), 15, capability.possible ? palette.green : palette.secondaryText, 20));
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    const QString name = QString::fromStdString(capability.name);
    column->addWidget(
        AdvisorStyle::label(name, TextStyle::body, capability.possible ? palette.text : palette.secondaryText));
    const QString detail = AdvisorTexts::capabilityDetail(capability, appleSilicon);
    if (!detail.isEmpty())
        column->addWidget(AdvisorStyle::label(detail, TextStyle::caption, palette.secondaryText));
    row->addLayout(column, 1);
    if (capability.quality) {
        row->addWidget(AdvisorStyle::label(
            QString::fromStdString(*capability.quality), TextStyle::caption, palette.green, QFont::Medium));
    }
    setAccessibleName(name);
}

UpgradeAnalysisView::UpgradeAnalysisView(const MacCapabilityProfile& profile, bool appleSilicon, QWidget* parent)
    : QWidget(parent)
    , m_palette(Palette::current())
{
    const auto advice = AdvisorTexts::upgradeAdvice(profile, appleSilicon);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(8);
    column->addWidget(
        AdvisorStyle::label(tr("Next Upgrade Focus").toUpper(), TextStyle::caption, m_palette.secondaryText));
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addWidget(
        AdvisorStyle::symbolLabel(QStringLiteral("arrow.up.circle.fill"), 20, m_palette.accent), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(AdvisorStyle::label(advice.title, TextStyle::body, m_palette.text, QFont::Medium));
    texts->addWidget(AdvisorStyle::wrappedLabel(advice.sentence, TextStyle::caption, m_palette.secondaryText));
    row->addLayout(texts, 1);
    column->addLayout(row);
    setAccessibleName(advice.title);
}

void UpgradeAnalysisView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    CardPainter::paintRounded(p, rect(), 10, withOpacity(m_palette.secondaryText, 0.06));
}

MacPotentialView::MacPotentialView(const std::optional<MacCapabilityProfile>& profile, bool appleSilicon,
    Desktop& desktop, Dialogs& dialogs, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_desktop(desktop)
    , m_dialogs(dialogs)
    , m_clock(clock)
    , m_palette(Palette::current())
{
    AdvisorStyle::fillBackground(this, m_palette);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 16, 0, 20);
    column->setSpacing(20);
    auto* header = new QVBoxLayout;
    header->setContentsMargins(20, 0, 20, 0);
    header->setSpacing(4);
    header->addWidget(AdvisorStyle::label(tr("Your Computer's AI Potential"), TextStyle::headline, m_palette.text));
    m_subtitle = AdvisorStyle::label({}, TextStyle::subheadline, m_palette.secondaryText);
    header->addWidget(m_subtitle);
    column->addLayout(header);
    m_body = new QWidget;
    m_bodyLayout = new QVBoxLayout(m_body);
    m_bodyLayout->setContentsMargins(20, 0, 20, 0);
    m_bodyLayout->setSpacing(20);
    column->addWidget(m_body);
    column->addStretch(1);

    auto* scroll = AdvisorStyle::scrollArea(content, m_palette);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    m_menu = new QMenu(this);
    WidgetPalette::follow(m_menu);
    m_menu->addAction(tr("Copy"), this, &MacPotentialView::copyReport);
    m_menu->addAction(tr("Save as Text File\u2026"), this, &MacPotentialView::saveReport);

    m_toast = new QLabel(this);
    m_toast->setFont(Fonts::system(11, QFont::Medium));
    m_toast->setAlignment(Qt::AlignCenter);
    m_toast->setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 217); color: white; border-radius: 8px;"
                                          " padding: 8px 12px; }"));
    m_toast->hide();
    setProfile(profile, appleSilicon);
}

void MacPotentialView::setProfile(const std::optional<MacCapabilityProfile>& profile, bool appleSilicon)
{
    m_profile = profile;
    m_appleSilicon = appleSilicon;
    // The capability rows rate speed only on the chip detection found.
    if (m_profile)
        m_profile->appleSilicon = appleSilicon;
    rebuild();
}

void MacPotentialView::rebuild()
{
    Layouts::clear(m_bodyLayout);
    m_comparison = nullptr;
    m_share = nullptr;
    m_subtitle->setVisible(m_profile.has_value());
    m_body->setVisible(m_profile.has_value());
    if (!m_profile)
        return;
    const MacCapabilityProfile& profile = *m_profile;
    m_subtitle->setText(AdvisorTexts::potentialSubtitle(profile, m_appleSilicon));

    auto* rows = new QWidget;
    auto* rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(2);
    for (const auto& capability : profile.capabilities())
        rowsLayout->addWidget(new CapabilityRow(capability, m_appleSilicon));
    m_bodyLayout->addWidget(rows);

    m_comparison = new MemoryComparisonView(profile.totalMemoryGB, AdvisorTexts::memoryConfigurations());
    m_bodyLayout->addWidget(m_comparison);
    m_bodyLayout->addWidget(new UpgradeAnalysisView(profile, m_appleSilicon));

    // No system share sheet here: the button's menu copies the report or saves it as a file.
    m_share = new QPushButton(tr("Share your computer's AI potential"));
    m_share->setIcon(QIcon(SymbolIcon::pixmap(QStringLiteral("square.and.arrow.up"), 14, m_palette.text, 2.0)));
    m_share->setMenu(m_menu);
    m_share->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_share->setFont(AdvisorStyle::font(TextStyle::body));
    m_share->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                                          " border-radius: 6px; padding: 5px; }"
                                          "QPushButton::menu-indicator { image: none; width: 0; }")
                               .arg(m_palette.card.name(QColor::HexArgb), m_palette.text.name(),
                                   withOpacity(m_palette.secondaryText, 0.3).name(QColor::HexArgb)));
    m_bodyLayout->addWidget(m_share);
}

QString MacPotentialView::reportText() const
{
    return m_profile ? AdvisorTexts::capabilityReport(*m_profile, m_appleSilicon) : QString();
}

void MacPotentialView::copyReport()
{
    if (!m_profile)
        return;
    m_desktop.copyText(reportText());
    showToast(tr("Copied to clipboard"));
}

void MacPotentialView::saveReport()
{
    if (!m_profile)
        return;
    const QString report = reportText();
    const QString suggested = QDir::home().filePath(QStringLiteral("AI capability report.txt"));
    // The answer may come after this page is gone; then the file is still written, without a toast.
    QPointer<MacPotentialView> self(this);
    m_dialogs.chooseSaveFile(this, tr("Save Report"), suggested, [self, report](const QString& path) {
        if (path.isEmpty())
            return;
        QSaveFile file(path);
        const QByteArray bytes = report.toUtf8();
        const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
        if (!self)
            return;
        const QString name = QFileInfo(path).fileName();
        self->showToast(saved ? tr("Saved to %1").arg(name) : tr("Could not save %1").arg(name));
    });
}

bool MacPotentialView::isToastShown() const
{
    return !m_toast->isHidden();
}

QString MacPotentialView::toastText() const
{
    return m_toast->text();
}

void MacPotentialView::showToast(const QString& text)
{
    m_toast->setText(text);
    m_toast->adjustSize();
    placeToast();
    m_toast->show();
    m_toast->raise();
    // Every press keeps its own reset, so the first one due hides the toast.
    m_clock.singleShot(kToastMs, this, [this] { m_toast->hide(); });
}

void MacPotentialView::placeToast()
{
    const QSize size = m_toast->sizeHint();
    m_toast->setGeometry((width() - size.width()) / 2, height() - size.height() - 20, size.width(), size.height());
}

void MacPotentialView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}
