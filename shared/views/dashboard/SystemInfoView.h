#pragma once

#include <QMap>
#include <QWidget>

class Clock;
class CopyButton;
class DashboardViewModel;
class Desktop;
class ElidedLabel;
class MachineFactsModel;
class QLabel;
class QLayout;
class ThemeManager;
class ToneLabel;

// The "System Info" page: a header card naming the machine, its processor and system version with the
// "Copy Spec Report" button, and six blocks of label and value lines. The machine's own facts follow the
// machine-facts model, the live figures the dashboard model.
class SystemInfoView : public QWidget
{
    Q_OBJECT
public:
    SystemInfoView(DashboardViewModel& dashboardVM, MachineFactsModel& machineFacts, QWidget* parent = nullptr);
    // With the clipboard and clock of the caller's choosing.
    SystemInfoView(DashboardViewModel& dashboardVM, MachineFactsModel& machineFacts, Desktop& desktop, Clock& clock,
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
    void build();
    // The machine's name, brand and version with the copy button.
    QWidget* buildHeader(QWidget* parent);
    // The six blocks of facts in two columns.
    QLayout* buildBlocks();
    // The rows of the machine's facts, once they are in.
    void showFacts();
    void refresh();
    QWidget* block(const QString& title, const QString& icon, const QStringList& labels);
    void setRow(const QString& label, const QString& value);

    DashboardViewModel& m_dashboardVM;
    MachineFactsModel& m_machineFacts;
    Desktop& m_desktop;
    Clock& m_clock;
    ElidedLabel* m_name = nullptr;
    QWidget* m_badge = nullptr;
    QLabel* m_identifier = nullptr;
    ToneLabel* m_brand = nullptr;
    ToneLabel* m_version = nullptr;
    CopyButton* m_copy = nullptr;
    QMap<QString, ElidedLabel*> m_rows;
};
