// The bank file: GBK text with CR LF, atomic overwrite, start-up rules.
#include "core/modpub.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

using namespace modPub;
using testsupport::fileBytes;
using testsupport::writeBytes;

class CoreBankFile : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString &name = QStringLiteral("配置文件.txt")) const { return dir.filePath(name); }

private slots:
    void init() { QFile::remove(path()); }

    void writeAndReadGbk()
    {
        QVERIFY(writeTextFile(path(), defaultBank(), true));
        const QByteArray bytes = fileBytes(path());
        QVERIFY(bytes.endsWith("\r\n"));
        // ā is A8A1 in GBK; ǜ A8B8; single spaces between.
        QVERIFY(bytes.startsWith("\xA8\xA1 \xA8\xA2 "));
        QVERIFY(bytes.endsWith("\xA8\xB8\r\n"));
        QCOMPARE(bytes.size(), 24 * 2 + 23 + 2);
        QCOMPARE(readTextFile(path()), defaultBank());
        QCOMPARE(defaultBank().size(), 47);
        // ɑ and ɡ are GBK characters (not GB2312).
        QVERIFY(writeTextFile(path(), QStringLiteral("ɑɡ天"), true));
        QCOMPARE(fileBytes(path()), QByteArray("\xA8\xBB\xA8\xC0\xCC\xEC\r\n"));
    }

    void charactersOutsideGbkSurvive()
    {
        // Not representable in GBK: kept through GB18030 four-byte codes, never "?".
        const QString text = QStringLiteral("𠀀 € ǹ 😀 천");
        QVERIFY(writeTextFile(path(), text, true));
        QVERIFY(!fileBytes(path()).contains('?'));
        QCOMPARE(readTextFile(path()), text);
    }

    void trailingLineBreaks()
    {
        writeBytes(path(), "a b\r\n\r\n");
        QCOMPARE(readTextFile(path()), QStringLiteral("a b\r\n"));
        writeBytes(path(), "a b");
        QCOMPARE(readTextFile(path()), QStringLiteral("a b"));
        writeBytes(path(), "a b\n");
        QCOMPARE(readTextFile(path()), QStringLiteral("a b\n"));
        writeBytes(path(), "a b\r");
        QCOMPARE(readTextFile(path()), QStringLiteral("a b\r"));
    }

    void appendAndOverwrite()
    {
        QVERIFY(writeTextFile(path(), QStringLiteral("一"), false));
        QVERIFY(writeTextFile(path(), QStringLiteral("二"), false));
        QCOMPARE(readTextFile(path()), QStringLiteral("一\r\n二"));
        QVERIFY(writeTextFile(path(), QStringLiteral("三"), true));
        QCOMPARE(readTextFile(path()), QStringLiteral("三"));
        // Overwriting leaves no temporary file behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{bankFileName()});
    }

    void failuresGiveEmptyOrFalse()
    {
        QCOMPARE(readTextFile(path(QStringLiteral("missing.txt"))), QString());
        QDir(dir.path()).mkdir(QStringLiteral("folder"));
        QCOMPARE(readTextFile(path(QStringLiteral("folder"))), QString());
        QVERIFY(!writeTextFile(path(QStringLiteral("folder")), QStringLiteral("x"), true));
        QVERIFY(!writeTextFile(path(QStringLiteral("no/such/dir.txt")), QStringLiteral("x"), true));
    }

    void unwritableFolderKeepsTheOldBank()
    {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QTemporaryDir ro;
        const QString p = ro.filePath(bankFileName());
        QVERIFY(writeTextFile(p, QStringLiteral("旧"), true));
        QFile::setPermissions(ro.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(!writeTextFile(p, QStringLiteral("新"), true));
        QFile::setPermissions(ro.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(readTextFile(p), QStringLiteral("旧"));
    }

    void binaryAndBrokenGbkDecodeWithoutFailing()
    {
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 37 + 11) & 0xFF));
        writeBytes(path(), garbage);
        QVERIFY(!readTextFile(path()).isEmpty());
        writeBytes(path(), "\xFF\xFF\x81 \xCC\xEC");
        QVERIFY(readTextFile(path()).endsWith(QStringLiteral("天")));
    }

    void foreignFilesMayBeUtf8ButTheBankIsGbk()
    {
        // A file saved by a Linux editor, with and without the UTF-8 mark.
        writeBytes(path(), "\xE5\xA4\xA9 \xE5\x9C\xB0 m\xC7\x8E\r\n");
        QCOMPARE(readForeignTextFile(path()), QStringLiteral("天 地 mǎ"));
        writeBytes(path(), "\xEF\xBB\xBF\xE5\xA4\xA9\r\n");
        QCOMPARE(readForeignTextFile(path()), QStringLiteral("天"));
        writeBytes(path(), "\xCC\xEC \xB5\xD8");
        QCOMPARE(readForeignTextFile(path()), QStringLiteral("天 地"));
        // Banks the program writes read back unchanged, also those whose GBK
        // bytes happen to be valid UTF-8 holding Chinese.
        for (const QString &bank : {QStringLiteral("洹板啊"), QStringLiteral("ni hao 洹板啊"),
                                    QStringLiteral("妾丄"), QStringLiteral("鍘╔"), QStringLiteral("茅 谩")}) {
            QVERIFY(writeTextFile(path(), bank, true));
            QCOMPARE(readTextFile(path()), bank);
        }
    }

    void startupDefaultRule()
    {
        QVERIFY(bankFileNeedsDefault(path()));          // missing
        writeBytes(path(), "");
        QVERIFY(bankFileNeedsDefault(path()));          // zero bytes
        writeBytes(path(), "\r\n");
        QVERIFY(bankFileNeedsDefault(path()));          // only CR LF
        writeBytes(path(), "   ");
        QVERIFY(!bankFileNeedsDefault(path()));         // spaces are content
        QDir(dir.path()).mkdir(QStringLiteral("d"));
        QVERIFY(!bankFileNeedsDefault(path(QStringLiteral("d")))); // a folder is not overwritten
        if (geteuid() != 0) {
            writeBytes(path(), "天");
            QFile::setPermissions(path(), QFileDevice::WriteOwner);
            QVERIFY(!bankFileNeedsDefault(path()));     // unreadable: left alone
            QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }

    void largeFile()
    {
        // 20 MB of items reads whole.
        QByteArray big;
        big.reserve(20 * 1024 * 1024);
        while (big.size() < 20 * 1024 * 1024)
            big.append("\xCC\xEC \xB5\xD8 ");
        writeBytes(path(), big);
        const QString text = readTextFile(path());
        QCOMPARE(text.size(), big.size() / 6 * 4); // "天 地 " is six bytes, four characters
    }

    void paths()
    {
        QVERIFY(appDir().endsWith(QLatin1Char('/')));
        QVERIFY(bankPath().endsWith(QStringLiteral("/配置文件.txt")));
        QVERIFY(!bankPath().contains(QStringLiteral("//")));
        setBankDirOverride(QStringLiteral("/"));
        QCOMPARE(bankPath(), QStringLiteral("/配置文件.txt"));
        setBankDirOverride(QString());
        QCOMPARE(programTitle(), QStringLiteral("Lorvanta V" LORVANTA_VERSION_STRING));
    }
};

LORVANTA_TEST_MAIN(CoreBankFile, QCoreApplication)
#include "core_bankfile.moc"
