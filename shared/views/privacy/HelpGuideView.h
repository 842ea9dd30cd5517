#pragma once

#include <QColor>
#include <QList>
#include <QScrollArea>

class QLabel;
class ThemeManager;
struct Palette;

// The in-app help: a header and seven fixed sections, tinted with the current theme's accent.
// Scrolls without scroll bars when its host is shorter than its content.
class HelpGuideView : public QScrollArea
{
    Q_OBJECT
public:
    struct GuideSection
    {
        QString icon;
        QColor iconColor;
        QString title;
        QString body;
    };

    explicit HelpGuideView(QWidget* parent = nullptr);
    explicit HelpGuideView(ThemeManager& themeManager, QWidget* parent = nullptr);

    // The sections in order, their colours taken from `palette`.
    static QList<GuideSection> sections(const Palette& palette);
    const QList<GuideSection>& shownSections() const { return m_sections; }
    QColor tint() const { return m_tint; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Hosted in a taller scrolling page, the guide takes the height its wrapped texts need.
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

private:
    void build(const Palette& palette);

    ThemeManager& m_themeManager;
    QList<GuideSection> m_sections;
    QColor m_tint;
};
