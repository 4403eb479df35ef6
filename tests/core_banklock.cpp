// One running copy per bank folder, between real processes: the test runs
// copies of itself that hold a folder or start on one.
#include "core/banklock.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {
const char *claimName(BankLock::Claim c)
{
    switch (c) {
    case BankLock::Claim::Owner: return "owner";
    case BankLock::Claim::Taken: return "taken";
    default: return "unlockable";
    }
}

// A copy in a process of its own: "hold" keeps the folder and reports every
// wake-up ("once": ends at the first), "start" is a second start.
int runCopy(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString mode = QString::fromLocal8Bit(argv[1]);
    BankLock lock(QString::fromLocal8Bit(argv[2]));
    const BankLock::Claim claim = lock.claim();
    std::printf("%s\n", claimName(claim));
    if (mode == QLatin1String("--start")) {
        if (claim == BankLock::Claim::Taken)
            std::printf("%s\n", lock.wakeOwner(3000) ? "woke" : "unreachable");
        return 0;
    }
    std::fflush(stdout);
    QObject::connect(&lock, &BankLock::wakeRequested, &app, [&] {
        std::printf("woken\n");
        std::fflush(stdout);
        if (mode == QLatin1String("--once"))
            app.quit();
    });
    return app.exec();
}
} // namespace

class CoreBankLock : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<QProcess *> m_copies;

    QString folder(const QString &name)
    {
        const QString path = m_dir.path() + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return path;
    }
    // A copy that holds `dir`, once it has said how its claim went.
    QProcess *hold(const QString &dir, const char *mode = "--hold")
    {
        auto *p = new QProcess(this);
        m_copies << p;
        p->start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode), dir});
        p->waitForStarted();
        QTest::qWaitFor([p] { return p->canReadLine(); }, 10000);
        return p;
    }
    // A second start on `dir`: what it printed.
    QByteArray start(const QString &dir)
    {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start"), dir});
        if (!p.waitForFinished(10000))
            return "hangs";
        return p.readAllStandardOutput().simplified();
    }

    // Whether the copy reported a wake-up within a few seconds.
    static bool woken(QProcess *copy)
    {
        return QTest::qWaitFor([copy] { return copy->canReadLine(); }, 5000)
            && copy->readLine().trimmed() == "woken";
    }

private slots:
    void cleanup()
    {
        for (QProcess *p : m_copies) {
            p->kill();
            p->waitForFinished();
            delete p;
        }
        m_copies.clear();
    }

    void aSecondStartWakesTheFirstCopy()
    {
        const QString dir = folder(QStringLiteral("bank"));
        QProcess *first = hold(dir);
        QCOMPARE(first->readLine().trimmed(), QByteArray("owner"));
        QCOMPARE(start(dir), QByteArray("taken woke"));
        QVERIFY(woken(first));
        QCOMPARE(start(dir), QByteArray("taken woke"));
        QVERIFY(woken(first));
        // Another bank folder is no business of the first copy.
        QProcess *other = hold(folder(QStringLiteral("other bank 二")));
        QCOMPARE(other->readLine().trimmed(), QByteArray("owner"));
        QVERIFY(!first->canReadLine());
    }

    void aKilledCopyLeavesNoStuckLock()
    {
        const QString dir = folder(QStringLiteral("killed"));
        QProcess *first = hold(dir);
        QCOMPARE(first->readLine().trimmed(), QByteArray("owner"));
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished());
        // What it leaves behind: its lock file and its socket.
        const BankLock probe(dir);
        QVERIFY(QFileInfo::exists(probe.lockPath()));
        QVERIFY(QFileInfo::exists(probe.socketPath()));
        QProcess *next = hold(dir);
        QCOMPARE(next->readLine().trimmed(), QByteArray("owner"));
        QCOMPARE(start(dir), QByteArray("taken woke"));
        QVERIFY(woken(next));
    }

    void aCopyThatEndsFreesTheFolder()
    {
        const QString dir = folder(QStringLiteral("ends"));
        QProcess *first = hold(dir, "--once");
        QCOMPARE(first->readLine().trimmed(), QByteArray("owner"));
        QCOMPARE(start(dir), QByteArray("taken woke"));
        QVERIFY(first->waitForFinished());
        QCOMPARE(first->exitCode(), 0);
        const BankLock probe(dir);
        QVERIFY(!QFileInfo::exists(probe.lockPath()));
        QVERIFY(!QFileInfo::exists(probe.socketPath()));
        QCOMPARE(start(dir), QByteArray("owner"));
    }

    void aFolderThatHoldsNoLockDoesNotStopTheProgram()
    {
        // Something else where the lock goes: no copy holds the folder.
        const QString dir = folder(QStringLiteral("odd"));
        QVERIFY(QDir().mkpath(BankLock(dir).lockPath()));
        QCOMPARE(start(dir), QByteArray("unlockable"));
        const QString garbage = folder(QStringLiteral("garbage"));
        QVERIFY(testsupport::writeBytes(BankLock(garbage).lockPath(), "not a lock"));
        QCOMPARE(start(garbage), QByteArray("unlockable"));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && argv[1][0] == '-' && argv[1][1] == '-'
        && (!std::strcmp(argv[1], "--hold") || !std::strcmp(argv[1], "--once")
            || !std::strcmp(argv[1], "--start")))
        return runCopy(argc, argv);
    testsupport::prepareEnvironment();
    QCoreApplication app(argc, argv);
    CoreBankLock tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "core_banklock.moc"
