#pragma once

#include "platform/host/MachineReader.h"

#include <QMap>
#include <QWidget>

class Clock;
class CopyButton;
class DashboardViewModel;
class Desktop;
class ElidedLabel;
class QLabel;
class QLayout;
class ThemeManager;
class ToneLabel;

// The "System Info" page: a header card naming the machine, its processor and system version with the
// "Copy Spec Report" button, and six blocks of label and value lines. The machine's own facts are read
// once, off the GUI thread; the live figures follow the dashboard model.
class SystemInfoView : public QWidget
{
    Q_OBJECT
public:
    explicit SystemInfoView(DashboardViewModel& dashboardVM, QWidget* parent = nullptr);
    // With facts given rather than read, and the clipboard and clock of the caller's choosing.
    SystemInfoView(DashboardViewModel& dashboardVM, const platform::MachineFacts& facts, Desktop& desktop, Clock& clock,
        QWidget* parent = nullptr);

    // The value shown for a row label ("Host UUID", "Chipset" ...).
    QString rowValue(const QString& label) const;
    QString headerName() const;
    // The model identifier's badge; empty while it is left out for repeating the name.
    QString headerIdentifier() const;
    QString headerBrand() const;
    QString headerVersion() const;
    CopyButton* copyButton() const { return m_copy; }
    bool copiedReport() const;
    // The report a press of the copy button puts on the clipboard now.
    QString specReport() const;

private:
    SystemInfoView(DashboardViewModel& dashboardVM, Desktop& desktop, Clock& clock, QWidget* parent);
    void build();
    // The machine's name, brand and version with the copy button.
    QWidget* buildHeader(QWidget* parent);
    // The six blocks of facts in two columns.
    QLayout* buildBlocks();
    void setFacts(const platform::MachineFacts& facts);
    void refresh();
    QWidget* block(const QString& title, const QString& icon, const QStringList& labels);
    void setRow(const QString& label, const QString& value);

    DashboardViewModel& m_dashboardVM;
    Desktop& m_desktop;
    Clock& m_clock;
    platform::MachineFacts m_facts;
    ElidedLabel* m_name = nullptr;
    QWidget* m_badge = nullptr;
    QLabel* m_identifier = nullptr;
    ToneLabel* m_brand = nullptr;
    ToneLabel* m_version = nullptr;
    CopyButton* m_copy = nullptr;
    QMap<QString, ElidedLabel*> m_rows;
};
