#pragma once

#include <QWidget>

class QLabel;
class SettingsView;
struct SavedYouMetrics;

// The About page: the product, its version and the lifetime counters kept on disk.
class AboutSection : public QWidget
{
    Q_OBJECT
public:
    explicit AboutSection(SettingsView& view, QWidget* parent = nullptr);

    static QString buildsText(const SavedYouMetrics& metrics);
    static QString hoursText(const SavedYouMetrics& metrics);

    QLabel* buildsLabel() const { return m_builds; }
    QLabel* hoursLabel() const { return m_hours; }

private:
    void showMetrics();

    SettingsView& m_view;
    QLabel* m_builds;
    QLabel* m_hours;
};
