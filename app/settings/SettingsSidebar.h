#pragma once

#include <QAbstractButton>
#include <QList>
#include <QWidget>

class QLabel;
class QScrollArea;
class SettingsButton;
struct Palette;

// One sidebar entry: its symbol and title, tinted and semibold while selected.
class SidebarRow : public QAbstractButton
{
    Q_OBJECT
public:
    SidebarRow(int index, const QString& icon, const QString& title, QWidget* parent = nullptr);

    int index() const { return m_index; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // The largest pixel size, at most 12, at which `title` in semibold fits a row's text slot, so that
    // selecting a row never clips its title nor changes its size.
    static int fittedPixelSize(const QString& title);
    void setPixelSize(int pixels);
    void setColors(const QColor& accent, const QColor& text);
    QSize sizeHint() const override;
    // Where the title is drawn.
    QRectF textRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_index;
    int m_pixelSize = 12;
    QString m_icon;
    bool m_selected = false;
    QColor m_accent;
    QColor m_text;
};

// The window's left column: the brand, the three sections of entries (which scroll in a short window)
// and the quit button.
class SettingsSidebar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 160;

    explicit SettingsSidebar(QWidget* parent = nullptr);

    const QList<SidebarRow*>& rows() const { return m_rows; }
    const QList<QLabel*>& headers() const { return m_headers; }
    QScrollArea* entriesScroll() const { return m_entries; }
    SettingsButton* quitButton() const { return m_quit; }
    void setActiveTab(int tab);
    void applyPalette(const Palette& palette);

signals:
    void rowClicked(int index);
    void quitClicked();

private:
    QLabel* m_logo;
    QLabel* m_brand;
    QLabel* m_tagline;
    QList<QLabel*> m_headers;
    QList<SidebarRow*> m_rows;
    QScrollArea* m_entries;
    SettingsButton* m_quit;
};
