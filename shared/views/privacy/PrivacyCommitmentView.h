#pragma once

#include "PrivacyServices.h"

#include <QUrl>
#include <QWidget>

class Desktop;

// "Privacy Commitment": what the program promises about data and networking, naming the folders in
// `services`, with links to the monitoring engine's source and the full privacy policy.
class PrivacyCommitmentView : public QWidget
{
    Q_OBJECT
public:
    static inline const QUrl sourceUrl {QStringLiteral("https://github.com/quorvane/quorvane-monitor")};
    static inline const QUrl policyUrl {QStringLiteral("https://quorvane.app/privacy")};

    explicit PrivacyCommitmentView(const PrivacyServices& services, QWidget* parent = nullptr);

private:
    Desktop& m_desktop;
};
