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
inline QTemporaryDir &sandbox()
{
    static QTemporaryDir dir;
    return dir;
}

inline void prepareEnvironment()
{
    const QString root = sandbox().path();
    QDir().mkpath(root + QStringLiteral("/config"));
    QDir().mkpath(root + QStringLiteral("/data"));
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", root.toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The settings file the program writes in this sandbox.
inline QString settingsFile()
{
    return sandbox().path() + QStringLiteral("/config/LORVANTA/LORVANTA.conf");
}

// Raw bytes of a file ("" when missing).
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
} // namespace testsupport

// Like QTEST_MAIN, with the sandbox in place before the application exists.
#define LORVANTA_TEST_MAIN(TestObject, AppType)                                     \
    int main(int argc, char *argv[])                                               \
    {                                                                              \
        testsupport::prepareEnvironment();                                         \
        AppType app(argc, argv);                                                   \
        TestObject tc;                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                 \
        return QTest::qExec(&tc, argc, argv);                                      \
    }
