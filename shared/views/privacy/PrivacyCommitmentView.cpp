#include "PrivacyCommitmentView.h"

#include "NetworkActivityView.h"
#include "PrivacyStyle.h"

#include "core/HomeRelativePath.h"
#include "engines/PublicAddressFetcher.h"

#include "ui/Desktop.h"
#include "ui/Fonts.h"

#include <QHBoxLayout>

namespace {

QHBoxLayout* commitmentRow(const QString& symbol, ColorRole tint, QLayout* title, const QString& description)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addWidget(new SymbolLabel(symbol, tint, 14, 20), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addLayout(title);
    auto* text = new ThemedLabel(description, Fonts::system(11), ColorRole::secondary);
    text->setWordWrap(true);
    texts->addWidget(text);
    row->addLayout(texts, 1);
    return row;
}

QLayout* titleOnly(const QString& title)
{
    auto* line = new QHBoxLayout;
    line->addWidget(new ThemedLabel(title, Fonts::system(12, QFont::Bold), ColorRole::text));
    line->addStretch();
    return line;
}

} // namespace

PrivacyCommitmentView::PrivacyCommitmentView(const PrivacyServices& services, QWidget* parent)
    : QWidget(parent)
    , m_desktop(*services.desktop)
{
    auto* layout = fillWithCard(this);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(new SymbolLabel(QStringLiteral("shield.checkmark.fill"), ColorRole::green, 18));
    header->addWidget(cardTitle(tr("Privacy Commitment")));
    header->addStretch();
    layout->addLayout(header);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(12);
    rows->addLayout(commitmentRow(QStringLiteral("nosign"), ColorRole::cyan, titleOnly(tr("Zero Telemetry")),
        tr("We collect no usage data and send no crash reports.")));
    rows->addLayout(
        commitmentRow(QStringLiteral("hand.raised.slash.fill"), ColorRole::cyan, titleOnly(tr("Zero Analytics")),
            tr("No Sentry, no Mixpanel, no Firebase, no third-party SDK that phones home.")));
    rows->addLayout(commitmentRow(QStringLiteral("house.fill"), ColorRole::cyan, titleOnly(tr("Local Only")),
        tr("All data is stored strictly on this computer: records in %1/, settings in %2/, the helper's audit "
           "log in /var/log/quorvane/")
            .arg(homeRelativePath(services.dataDirectory), homeRelativePath(services.settingsDirectory))));
    // The one outside service, and when: the network card and the dashboard's lookup rule say the same.
    rows->addLayout(
        commitmentRow(QStringLiteral("lock.laptopcomputer"), ColorRole::cyan, titleOnly(tr("Localhost Network")),
            tr("Connects to local AI tools running on your computer, and to one outside service, %1. "
               "Public address: only while the Network view is open, at most every %2 minutes.")
                .arg(NetworkActivityView::publicAddressHost())
                .arg(PublicAddressFetcher::refreshInterval.count())));

    auto* sourceTitle = new QHBoxLayout;
    sourceTitle->addWidget(new ThemedLabel(tr("Open Source Core"), Fonts::system(12, QFont::Bold), ColorRole::text));
    auto* github = linkButton(tr("View on GitHub"), Fonts::system(11, QFont::DemiBold));
    connect(github, &QAbstractButton::clicked, this, [this] { m_desktop.openUrl(sourceUrl); });
    sourceTitle->addWidget(github);
    sourceTitle->addWidget(new SymbolLabel(QStringLiteral("arrow.up.right"), ColorRole::blue, 11));
    sourceTitle->addStretch();
    rows->addLayout(commitmentRow(QStringLiteral("book.pages.fill"), ColorRole::purple, sourceTitle,
        tr("The monitoring engine is open source. Verify every privacy claim we make.")));
    layout->addLayout(rows);

    layout->addWidget(makeDivider(0.08));
    auto* footer = new QHBoxLayout;
    auto* policy = linkButton(tr("Full Privacy Policy →"), Fonts::system(11));
    connect(policy, &QAbstractButton::clicked, this, [this] { m_desktop.openUrl(policyUrl); });
    footer->addWidget(policy);
    footer->addStretch();
    footer->addWidget(new ThemedLabel(tr("Last updated: July 2026"), Fonts::system(10), ColorRole::secondary));
    layout->addLayout(footer);
}
