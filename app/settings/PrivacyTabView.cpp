#include "PrivacyTabView.h"

#include "ui/Fonts.h"
#include "views/privacy/DataInventoryView.h"
#include "views/privacy/GranularClearView.h"
#include "views/privacy/HelperInspectorView.h"
#include "views/privacy/LiveHelperActivityView.h"
#include "views/privacy/NetworkActivityView.h"
#include "views/privacy/PrivacyCommitmentView.h"
#include "views/privacy/PrivacyPageState.h"
#include "views/privacy/PrivacyStyle.h"
#include "views/privacy/UninstallGuideView.h"

#include <QVBoxLayout>

PrivacyTabView::PrivacyTabView(const PrivacyServices& given, QWidget* parent)
    : QWidget(parent)
{
    // The cards hear of each other's erasures through one page state.
    PrivacyServices services = given;
    if (!services.pageState)
        services.pageState = new PrivacyPageState(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(24);
    m_cards.append(new PrivacyCommitmentView(services));
    layout->addWidget(m_cards.last());
    const auto section = [&](const QString& header, QWidget* card) {
        layout->addWidget(makeDivider(0.08));
        auto* title = new ThemedLabel(header, Fonts::system(13, QFont::DemiBold), ColorRole::text);
        title->setObjectName(QStringLiteral("header"));
        layout->addWidget(title);
        layout->addWidget(card);
        m_cards.append(card);
    };
    section(tr("Quorvane Network Activity"), new NetworkActivityView(services));
    section(tr("Privileged Helper Inspector"), new HelperInspectorView(services));
    section(tr("Live Helper Activity Timeline"), new LiveHelperActivityView(services));
    section(tr("Data Stored On This Computer"), new DataInventoryView(services));
    section(tr("Clear Data"), new GranularClearView(services));
    section(tr("Uninstall Quorvane"), new UninstallGuideView(services));
    layout->addStretch();
}

QStringList PrivacyTabView::headers() const
{
    QStringList out;
    for (auto* label : findChildren<ThemedLabel*>(QStringLiteral("header"), Qt::FindDirectChildrenOnly))
        out << label->text();
    return out;
}
