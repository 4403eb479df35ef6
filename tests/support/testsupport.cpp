#include "tests/support/testsupport.h"

#include "core/modules.h"

namespace testsupport {

QTemporaryDir &sandbox()
{
    static QTemporaryDir dir;
    return dir;
}

void prepareEnvironment()
{
    const QString root = sandbox().path();
    QDir().mkpath(root + QStringLiteral("/config"));
    QDir().mkpath(root + QStringLiteral("/data"));
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", root.toLocal8Bit());
    modules::setSearchFolder(QStringLiteral(LORVANTA_MODULE_DIR));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

QString settingsFile() { return sandbox().path() + QStringLiteral("/config/LORVANTA/LORVANTA.conf"); }

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
} // namespace testsupport
