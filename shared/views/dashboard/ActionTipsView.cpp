#include "ActionTipsView.h"

#include "ui/Fonts.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The bulb in the theme's yellow, redrawn with the theme.
class BulbIcon : public QWidget
{
public:
    explicit BulbIcon(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(14, 14);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        SymbolIcon::paint(p, rect(), QStringLiteral("lightbulb.fill"), Palette::current().yellow, 13);
    }
};

} // namespace

ActionTipsView::ActionTipsView(const QString& title, const QStringList& tips, QWidget* parent)
    : RoundedFill(PageStyle::tone(PageStyle::Tone::primary, 0.04), 10, parent)
    , m_title(title)
    , m_tips(tips)
{
    using PageStyle::Tone;
    setInset(0.5);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(new BulbIcon(this));
    header->addWidget(new ToneLabel(title, Fonts::system(12, QFont::Bold), Tone::primary, this), 1);
    column->addLayout(header);
    for (const QString& tip : tips) {
        auto* label = new ToneLabel(tip, Fonts::system(11), Tone::secondary, this);
        label->setWordWrap(true);
        column->addWidget(label);
        m_labels << label;
    }
}

void ActionTipsView::setTips(const QStringList& tips)
{
    m_tips = tips.mid(0, m_labels.size());
    for (qsizetype i = 0; i < m_labels.size(); ++i)
        m_labels[i]->setText(i < m_tips.size() ? m_tips[i] : QString());
}
