#include "NetworkTabView.h"

#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/ColorDot.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/Labels.h"
#include "ui/NumberText.h"
#include "ui/RoundedFill.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

class Globe : public TintedWidget
{
public:
    explicit Globe(QWidget* parent)
        : TintedWidget(QSize(16, 16), parent)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        SymbolIcon::paint(p, rect(), QStringLiteral("globe"), color(), 14);
    }
};

QString rate(double kbPerSecond)
{
    return NumberText::numberText("%.1f KB/s", kbPerSecond);
}

} // namespace

struct NetworkTabView::Row
{
    RoundedFill* card;
    Globe* globe;
    ElidedLabel* remote;
    ElidedLabel* process;
    QLabel* status;
};

NetworkTabView::NetworkTabView(DashboardViewModel& stats, ThemeManager& themes, QWidget* parent)
    : QScrollArea(parent)
    , m_stats(stats)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    viewport()->setAutoFillBackground(false);

    m_page = new QWidget;
    m_page->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(m_page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    m_title = makeLabel(tr("Network Activity"), Fonts::system(17, QFont::Bold), m_page);
    column->addWidget(m_title);

    column->addLayout(buildRateCards());
    column->addWidget(buildAddressCard());
    column->addLayout(buildConnections());
    column->addStretch(1);
    setWidget(m_page);

    connect(&m_stats, &DashboardViewModel::figuresChanged, this, &NetworkTabView::refresh);
    connect(&m_stats, &DashboardViewModel::activeConnectionsChanged, this, &NetworkTabView::refresh);
    followThemeNow(themes, this, [this](const Palette& p) {
        m_palette = p;
        applyTheme();
        refresh();
    });
}

QLayout* NetworkTabView::buildRateCards()
{
    auto* cards = new QHBoxLayout;
    cards->setSpacing(16);
    const auto makeCard = [&](const QString& caption, QLabel*& captionLabel, QLabel*& figure) {
        auto* card = new RoundedFill(QColor(), 10, m_page);
        auto* stack = new QVBoxLayout(card);
        stack->setContentsMargins(12, 12, 12, 12);
        stack->setSpacing(2);
        captionLabel = makeLabel(caption, Fonts::system(13), card);
        figure = makeLabel(QString(), Fonts::system(17, QFont::Bold), card);
        figure->setMinimumWidth(1);
        figure->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        stack->addWidget(captionLabel);
        stack->addWidget(figure);
        cards->addWidget(card, 1);
        return card;
    };
    m_downloadCard = makeCard(tr("Download"), m_downloadCaption, m_download);
    m_uploadCard = makeCard(tr("Upload"), m_uploadCaption, m_upload);
    return cards;
}

QWidget* NetworkTabView::buildAddressCard()
{
    // The address the internet sees, from the one outside service the program asks.
    auto* addressCard = new RoundedFill(QColor(), 10, m_page);
    auto* addressLine = new QHBoxLayout(addressCard);
    addressLine->setContentsMargins(12, 8, 12, 8);
    addressLine->setSpacing(8);
    m_addressCaption = makeLabel(tr("Public Address"), Fonts::system(13), addressCard);
    m_address = new ElidedLabel(QString(), 1, addressCard);
    m_address->setFont(Fonts::monospaced(12, QFont::DemiBold));
    m_address->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    addressLine->addWidget(m_addressCaption);
    addressLine->addWidget(m_address, 1);
    m_addressCard = addressCard;
    return addressCard;
}

QLayout* NetworkTabView::buildConnections()
{
    auto* section = new QVBoxLayout;
    section->setSpacing(12);
    m_connectionsTitle = makeLabel(tr("Active Connections & Privacy"), Fonts::system(13, QFont::DemiBold), m_page);
    section->addWidget(m_connectionsTitle);
    m_empty = makeLabel(tr("No external connections"), Fonts::system(11), m_page);
    m_empty->setVisible(false);
    section->addWidget(m_empty);
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(12);
    section->addLayout(m_rows);
    return section;
}

NetworkTabView::~NetworkTabView()
{
    if (m_holdsDemands) {
        m_stats.releaseConnections();
        m_stats.releasePublicAddress();
    }
    qDeleteAll(m_rowWidgets);
}

void NetworkTabView::showEvent(QShowEvent* event)
{
    // A window shown again sends a second, spontaneous show event; the demands are held once.
    if (!m_holdsDemands) {
        m_holdsDemands = true;
        m_stats.retainConnections();
        m_stats.retainPublicAddress();
    }
    QScrollArea::showEvent(event);
}

void NetworkTabView::hideEvent(QHideEvent* event)
{
    // A minimised window lets them go too; showing it again lists afresh.
    if (m_holdsDemands) {
        m_holdsDemands = false;
        m_stats.releaseConnections();
        m_stats.releasePublicAddress();
    }
    QScrollArea::hideEvent(event);
}

QString NetworkTabView::downloadText() const
{
    return m_download->text();
}

QString NetworkTabView::uploadText() const
{
    return m_upload->text();
}

QString NetworkTabView::publicAddressText() const
{
    return m_address->text();
}

QStringList NetworkTabView::rowTexts(int index) const
{
    if (index < 0 || index >= m_visibleRows)
        return {};
    const Row* r = m_rowWidgets[index];
    return {r->remote->text(), r->process->text(), r->status->text()};
}

QColor NetworkTabView::statusColor(int index) const
{
    if (index < 0 || index >= m_visibleRows)
        return {};
    return m_rowWidgets[index]->status->palette().color(QPalette::WindowText);
}

NetworkTabView::Row& NetworkTabView::row(int index)
{
    while (m_rowWidgets.size() <= index) {
        auto* r = new Row;
        r->card = new RoundedFill(QColor(), 8, m_page);
        auto* line = new QHBoxLayout(r->card);
        line->setContentsMargins(8, 8, 8, 8);
        line->setSpacing(8);
        r->globe = new Globe(r->card);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        // Long addresses and names are cut with an ellipsis rather than widening the page.
        r->remote = new ElidedLabel(QString(), 1, r->card);
        r->remote->setFont(Fonts::monospaced(11, QFont::DemiBold));
        r->process = new ElidedLabel(QString(), 1, r->card);
        r->process->setFont(Fonts::system(10));
        texts->addWidget(r->remote);
        texts->addWidget(r->process);
        r->status = makeLabel(QString(), Fonts::system(10, QFont::Bold), r->card);
        line->addWidget(r->globe);
        line->addLayout(texts, 1);
        line->addWidget(r->status);
        m_rows->addWidget(r->card);
        m_rowWidgets.append(r);
    }
    return *m_rowWidgets[index];
}

void NetworkTabView::applyTheme()
{
    Labels::setLabelColor(m_title, m_palette.text);
    Labels::setLabelColor(m_connectionsTitle, m_palette.text);
    Labels::setLabelColor(m_empty, m_palette.secondaryText);
    Labels::setLabelColor(m_downloadCaption, m_palette.secondaryText);
    Labels::setLabelColor(m_uploadCaption, m_palette.secondaryText);
    Labels::setLabelColor(m_addressCaption, m_palette.secondaryText);
    m_address->setColor(m_palette.text);
    Labels::setLabelColor(m_download, m_palette.green);
    Labels::setLabelColor(m_upload, m_palette.blue);
    const QColor fill = withOpacity(m_palette.text, 0.04);
    static_cast<RoundedFill*>(m_downloadCard)->setFill(fill);
    static_cast<RoundedFill*>(m_uploadCard)->setFill(fill);
    static_cast<RoundedFill*>(m_addressCard)->setFill(fill);
    for (Row* r : m_rowWidgets)
        r->card->setFill(fill);
    m_visibleRows = -1; // the next refresh recolours every row
}

void NetworkTabView::refresh()
{
    // Without interface counters there is no rate to show, only the dash.
    const bool measured = m_stats.measured().network;
    m_download->setText(measured ? rate(m_stats.networkDownload()) : NumberText::dash + QStringLiteral(" KB/s"));
    m_upload->setText(measured ? rate(m_stats.networkUpload()) : NumberText::dash + QStringLiteral(" KB/s"));
    m_address->setText(m_stats.publicIP());
    const auto& connections = m_stats.activeConnections();
    const int count = int(connections.size());
    const QColor fill = withOpacity(m_palette.text, 0.04);
    for (int i = 0; i < count; ++i) {
        const ConnectionRow& c = connections[std::size_t(i)];
        Row& r = row(i);
        r.card->setFill(fill);
        r.globe->setColor(m_palette.blue);
        r.remote->setText(c.remote);
        r.remote->setColor(m_palette.text);
        r.process->setText(c.processName + QStringLiteral(" (PID: ") + c.pid + QStringLiteral(")"));
        r.process->setColor(m_palette.secondaryText);
        r.status->setText(c.status);
        Labels::setLabelColor(
            r.status, c.status == QLatin1String("ESTABLISHED") ? m_palette.green : m_palette.secondaryText);
        r.card->setVisible(true);
    }
    for (int i = count; i < m_rowWidgets.size(); ++i)
        m_rowWidgets[i]->card->setVisible(false);
    m_visibleRows = count;
    // The empty state is a line of text, never a row that looks like a connection.
    m_empty->setVisible(count == 0 && m_stats.connectionsListed());
}

QString NetworkTabView::emptyText() const
{
    return m_empty->isHidden() ? QString() : m_empty->text();
}
