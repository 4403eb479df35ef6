// Shared by the test programs: every test process gets private settings and
// data folders, so nothing touches the real user's files.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

namespace testsupport {

// Folder for this process's settings, data and bank; set up before Qt starts.
QTemporaryDir &sandbox();
// Points the settings, data and runtime folders into the sandbox.
void prepareEnvironment();

// The settings file the program writes in this sandbox.
QString settingsFile();
// Raw bytes of a file ("" when missing).
QByteArray fileBytes(const QString &path);
bool writeBytes(const QString &path, const QByteArray &bytes);

// A window's control by its object name; a missing one ends the test program
// at once, naming it, instead of crashing somewhere after.
template <typename T = QWidget> T *child(const QObject *window, const char *name)
{
    T *c = window->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}
} // namespace testsupport

// Like QTEST_MAIN, with the sandbox in place before the application exists.
#define LORVANTA_TEST_MAIN(TestObject, AppType)                                                              \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        testsupport::prepareEnvironment();                                                                   \
        AppType app(argc, argv);                                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
