// A writer process killed with SIGKILL at random moments while it rewrites
// the bank: afterwards the file must hold one whole bank, old or new.
#include "core/bankfile.h"
#include "tests/support/testsupport.h"

#include "tests/e2e/powercut_banks.h"

#include <QDir>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <random>

class PowerCut : public QObject
{
    Q_OBJECT
private slots:
    void killedWriterLeavesOldOrNewBank();
};

void PowerCut::killedWriterLeavesOldOrNewBank()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(modPub::bankFileName());
    const QByteArray a = modPub::encodeGbk(powercut::bankA()) + "\r\n";
    const QByteArray b = modPub::encodeGbk(powercut::bankB()) + "\r\n";
    QVERIFY(testsupport::writeBytes(path, a));

    std::mt19937 rng(std::random_device {}());
    // Kill times spread from "before the first write" to "after several".
    std::uniform_int_distribution<int> delayMs(0, 60);
    const int kills = 60;
    int sawA = 0, sawB = 0, beforeFirstWrite = 0, maxWrites = 0;
    bool holdsA = true;
    for (int k = 0; k < kills; ++k) {
        QProcess writer;
        writer.setProgram(QStringLiteral(LORVANTA_POWERCUT_WRITER));
        // The first write always replaces what the file holds now.
        writer.setArguments({path, holdsA ? QStringLiteral("B") : QStringLiteral("A")});
        writer.start();
        QVERIFY2(writer.waitForStarted(10000), qPrintable(writer.errorString()));
        QThread::msleep(static_cast<unsigned long>(delayMs(rng)));
        writer.kill(); // SIGKILL: no clean-up of any kind runs
        QVERIFY(writer.waitForFinished(10000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        int writes = 0;
        for (const QByteArray &l : writer.readAllStandardOutput().split('\n'))
            writes = std::max(writes, l.toInt());
        maxWrites = std::max(maxWrites, writes);
        if (writes == 0)
            ++beforeFirstWrite;

        const QByteArray now = testsupport::fileBytes(path);
        QVERIFY2(now == a || now == b,
                 qPrintable(QStringLiteral("after kill %1 the bank holds %2 bytes, neither bank (%3 or %4)")
                                .arg(k)
                                .arg(now.size())
                                .arg(a.size())
                                .arg(b.size())));
        holdsA = now == a;
        (holdsA ? sawA : sawB)++;
        const QString text = modPub::readTextFile(path);
        QVERIFY(text == powercut::bankA() || text == powercut::bankB());
    }
    // Stray temporary files are what a killed writer may leave; the bank itself is whole.
    const QStringList others
        = QDir(dir.path())
              .entryList(QDir::Files)
              .filter(QRegularExpression(QStringLiteral("^(?!")
                                         + QRegularExpression::escape(modPub::bankFileName())
                                         + QStringLiteral("$)")));
    qInfo("%d kills: bank A %d times, bank B %d times; %d kills before the first write "
          "completed, up to %d writes completed; %lld stray temporary files",
          kills, sawA, sawB, beforeFirstWrite, maxWrites, static_cast<long long>(others.size()));
}

LORVANTA_TEST_MAIN(PowerCut, QCoreApplication)
#include "powercut_bank.moc"
