#include "QtWarnings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

// Widgets need a QApplication; the tests of engines link no widgets and run in a QGuiApplication.
#ifdef QV_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

// Every test program runs with its own configuration and data folders, so no test reads or
// overwrites the settings and records of the person running the tests.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);

    QTemporaryDir home;
    const QByteArray root = home.path().toUtf8();
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
    QDir().mkpath(home.path() + "/runtime");
    // A runtime folder others can read is refused (with a warning) by whatever looks it up.
    QFile::setPermissions(home.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

#ifdef QV_FAIL_ON_QT_WARNINGS
    failOnQtWarnings();
#endif
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
