// Modules are code run as the user: only files nobody else can have put or
// changed are loaded.
#include "core/modules.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>

#include <cstdio>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr QFile::Permissions folderMode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
    | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
constexpr QFile::Permissions fileMode
    = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

QString module() { return QStringLiteral(LORVANTA_MODULE_DIR "/lorvanta_http.so"); }

// What the calls wrote to standard error meanwhile.
template <typename F> QByteArray standardError(F call)
{
    std::fflush(stderr);
    const int saved = ::dup(2);
    QTemporaryFile capture;
    if (!capture.open())
        return "no capture file";
    ::dup2(capture.handle(), 2);
    call();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}
} // namespace

class CoreModules : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // A copy of a real module in a folder of its own.
    QString place(const QString &folder, const QString &name, QFile::Permissions folderPerms,
                  QFile::Permissions filePerms)
    {
        const QString dir = m_dir.path() + QLatin1Char('/') + folder;
        QDir().mkpath(dir);
        const QString path = dir + QLatin1Char('/') + name;
        QFile::remove(path);
        if (!QFile::copy(module(), path))
            return QString();
        QFile::setPermissions(path, filePerms);
        QFile::setPermissions(dir, folderPerms);
        return path;
    }

private slots:
    void onlyFilesNobodyElseCanWriteAreTrusted()
    {
        QVERIFY(modules::trusted(place(QStringLiteral("ok"), QStringLiteral("m.so"), folderMode, fileMode)));
        const auto others = QFile::WriteGroup | QFile::WriteOther;
        QVERIFY(!modules::trusted(
            place(QStringLiteral("open"), QStringLiteral("m.so"), folderMode | others, fileMode)));
        QVERIFY(!modules::trusted(place(QStringLiteral("group"), QStringLiteral("m.so"),
                                        folderMode | QFile::WriteGroup, fileMode)));
        QVERIFY(!modules::trusted(
            place(QStringLiteral("file"), QStringLiteral("m.so"), folderMode, fileMode | QFile::WriteGroup)));
        QVERIFY(!modules::trusted(place(QStringLiteral("file2"), QStringLiteral("m.so"), folderMode,
                                        fileMode | QFile::WriteOther)));
        // A sticky folder like /tmp: anyone may still put a file there.
        const QString sticky
            = place(QStringLiteral("sticky"), QStringLiteral("m.so"), folderMode | others, fileMode);
        QVERIFY(::chmod(QFile::encodeName(QFileInfo(sticky).absolutePath()).constData(), 01777) == 0);
        QVERIFY(!modules::trusted(sticky));

        // Links: the folder named and the real file's folder both count.
        const QString good = m_dir.path() + QStringLiteral("/ok/m.so");
        const QString linkInOpen = QFileInfo(sticky).absolutePath() + QStringLiteral("/link.so");
        QVERIFY(QFile::link(good, linkInOpen));
        QVERIFY(!modules::trusted(linkInOpen));
        const QString linkToOpen = m_dir.path() + QStringLiteral("/ok/toopen.so");
        QVERIFY(QFile::link(m_dir.path() + QStringLiteral("/open/m.so"), linkToOpen));
        QVERIFY(!modules::trusted(linkToOpen));
        QVERIFY(!modules::trusted(m_dir.path() + QStringLiteral("/ok/missing.so")));
        QVERIFY(!modules::trusted(m_dir.path() + QStringLiteral("/ok")));

        // Someone else's file.
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            QVERIFY(nobody);
            const QString theirs
                = place(QStringLiteral("theirs"), QStringLiteral("m.so"), folderMode, fileMode);
            QVERIFY(::chown(QFile::encodeName(theirs).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
            QVERIFY(!modules::trusted(theirs));
            QVERIFY(::chown(QFile::encodeName(QFileInfo(theirs).absolutePath()).constData(), nobody->pw_uid,
                            nobody->pw_gid)
                    == 0);
            QVERIFY(::chown(QFile::encodeName(theirs).constData(), 0, 0) == 0);
            QVERIFY(!modules::trusted(theirs));
        }
    }

    void aModuleInAFolderOthersCanWriteCountsAsMissing()
    {
        // The same module, planted beside the program in a folder anyone may write.
        const QString planted = place(QStringLiteral("planted"), QStringLiteral("lorvanta_planted.so"),
                                      folderMode | QFile::WriteGroup | QFile::WriteOther, fileMode);
        modules::setSearchFolder(QFileInfo(planted).absolutePath());
        QObject *object = reinterpret_cast<QObject *>(1);
        const QByteArray said
            = standardError([&] { object = modules::instance(QStringLiteral("lorvanta_planted.so")); });
        QVERIFY(!object);
        QVERIFY(modules::attempted(QStringLiteral("lorvanta_planted.so")));
        QCOMPARE(said.count('\n'), 1);
        QVERIFY2(said.contains(QFile::encodeName(planted)), said.constData());

        // Once nobody else can write there, it is loaded.
        const QString kept
            = place(QStringLiteral("kept"), QStringLiteral("lorvanta_kept.so"), folderMode, fileMode);
        modules::setSearchFolder(QFileInfo(kept).absolutePath());
        const QByteArray quiet
            = standardError([&] { object = modules::instance(QStringLiteral("lorvanta_kept.so")); });
        QVERIFY(object);
        QVERIFY2(quiet.isEmpty(), quiet.constData());
        modules::setSearchFolder(QStringLiteral(LORVANTA_MODULE_DIR));
    }
};

LORVANTA_TEST_MAIN(CoreModules, QCoreApplication)
#include "core_modules.moc"
