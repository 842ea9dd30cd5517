#pragma once

#include "PageStyle.h"

#include <QStringList>

// A titled list of tips on a faint rounded background: a yellow bulb and the title, then each tip as
// given, in the secondary colour.
class ActionTipsView : public RoundedFill
{
    Q_OBJECT
public:
    ActionTipsView(const QString& title, const QStringList& tips, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    QStringList tips() const { return m_tips; }
    // Rewords the tips in place; there are as many as the view was built with.
    void setTips(const QStringList& tips);

private:
    QString m_title;
    QStringList m_tips;
    QList<ToneLabel*> m_labels;
};
