#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>

class QMenu;

// A small painted button: a symbol (and optionally a short text after it) in one colour on a rounded
// fill. The popover's header controls, dock buttons and menu buttons are all made of it. With a menu
// set, a click opens the menu under the button.
class SymbolButton : public QAbstractButton
{
    Q_OBJECT
public:
    struct Look
    {
        QString symbol;
        double symbolSize = 10;
        QColor foreground;
        QColor background; // invalid or transparent: no fill
        double cornerRadius = 5;
        QString text; // drawn after the symbol
        QFont textFont;
        int horizontalPadding = 0; // around symbol and text when there is a text
        int spacing = 4;
    };

    SymbolButton(QSize size, QWidget* parent = nullptr);

    const Look& look() const { return m_look; }
    void setLook(const Look& look);
    void setMenu(QMenu* menu);
    QMenu* menu() const { return m_menu; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize m_size;
    Look m_look;
    QMenu* m_menu = nullptr;
};
