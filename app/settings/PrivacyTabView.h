#pragma once

#include "views/privacy/PrivacyServices.h"

#include <QList>
#include <QWidget>

// The settings window's "Privacy" page: the seven privacy cards, each but the first under a divider
// and a header, all working on the same privacy store.
class PrivacyTabView : public QWidget
{
    Q_OBJECT
public:
    explicit PrivacyTabView(const PrivacyServices& services, QWidget* parent = nullptr);

    // The cards, top to bottom.
    const QList<QWidget*>& cards() const { return m_cards; }
    QStringList headers() const;

private:
    QList<QWidget*> m_cards;
};
