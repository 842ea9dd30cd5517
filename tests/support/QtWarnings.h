#pragma once

#include <QString>

// Makes every Qt warning, critical or fatal message a failure of the test that is running, so a view
// that misuses a Qt call fails its tests instead of printing a line nobody reads.
void failOnQtWarnings();

// While it lives, warnings that contain `fragment` pass without failing the test: for the few a test
// provokes on purpose.
class ExpectedQtWarning
{
public:
    explicit ExpectedQtWarning(const QString& fragment);
    ~ExpectedQtWarning();
    ExpectedQtWarning(const ExpectedQtWarning&) = delete;
    ExpectedQtWarning& operator=(const ExpectedQtWarning&) = delete;

    // How many warnings it let through.
    int count() const;

private:
    QString m_fragment;
};
