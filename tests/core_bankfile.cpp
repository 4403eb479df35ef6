// The bank file: GBK text with CR LF, atomic overwrite, start-up rules.
#include "core/bankfile.h"
#include "core/programversion.h"
#include "tests/support/fulldisk.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>

#include <fcntl.h>
#include <future>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace modPub;
using testsupport::fileBytes;
using testsupport::FullDisk;
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
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {bankFileName()});
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
        QFile::setPermissions(ro.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(readTextFile(p), QStringLiteral("旧"));
    }

    void foreignFilesByTheirByteOrderMark()
    {
        // What Windows editors save as "Unicode", "Unicode big endian" and
        // UTF-32, mark first; a bank typed there ends in CR LF.
        const QString bank = QStringLiteral("天 地 mǎ 𠀀");
        struct {
            QByteArray mark;
            QStringConverter::Encoding encoding;
        } marked[] = {
            {"\xFF\xFE", QStringConverter::Utf16LE},
            {"\xFE\xFF", QStringConverter::Utf16BE},
            {QByteArray("\xFF\xFE\x00\x00", 4), QStringConverter::Utf32LE},
            {QByteArray("\x00\x00\xFE\xFF", 4), QStringConverter::Utf32BE},
            {"\xEF\xBB\xBF", QStringConverter::Utf8},
        };
        for (const auto &m : marked) {
            QStringEncoder encode(m.encoding);
            writeBytes(path(), m.mark + encode.encode(bank + QStringLiteral("\r\n")));
            bool binary = true;
            QCOMPARE(readForeignTextFile(path(), &binary), bank);
            QVERIFY(!binary);
        }
        // A half character at the end is a bad character, not the end of the text.
        writeBytes(path(), QByteArray("\xFF\xFE\x29\x59\x20\x00\x30\x57\x20", 9));
        QCOMPARE(readForeignTextFile(path()), QStringLiteral("天 地\uFFFD"));

        // No text: NUL bytes without a mark, a NUL character in marked text,
        // or mostly control characters. Nothing of it is given back.
        const QByteArray noText[] = {
            QByteArray("\xCC\xEC\x00\xB5\xD8", 5),
            QByteArray("\xFF\xFE\x29\x59\x00\x00\x30\x57", 8),
            QByteArray("ab\x01\x02\x03\x04\x1B\x7F\x05\x06 c"),
        };
        for (const QByteArray &bytes : noText) {
            writeBytes(path(), bytes);
            bool binary = false;
            QCOMPARE(readForeignTextFile(path(), &binary), QString());
            QVERIFY2(binary, bytes.toHex().constData());
        }
        // A text with a few bad bytes is still a text; a missing file is no binary one.
        writeBytes(path(), "\xCC\xEC \x01 \xFF\xFF \xB5\xD8");
        bool binary = true;
        QVERIFY(readForeignTextFile(path(), &binary).startsWith(QStringLiteral("天")));
        QVERIFY(!binary);
        QCOMPARE(readForeignTextFile(path(QStringLiteral("missing")), &binary), QString());
        QVERIFY(!binary);
        // The bank itself stays GBK: a mark there is read as the GBK it is.
        writeBytes(path(), "\xFF\xFE\x29\x59");
        QVERIFY(readTextFile(path()) != QStringLiteral("天"));
    }

    void tryReadTellsMissingFromEmpty()
    {
        QVERIFY(!tryReadTextFile(path()));
        QVERIFY(!tryReadTextFile(dir.path()));
        writeBytes(path(), "\r\n");
        QCOMPARE(tryReadTextFile(path()).value_or(QStringLiteral("none")), QString());
        writeBytes(path(), "\xCC\xEC\r\n");
        QCOMPARE(tryReadTextFile(path()).value_or(QString()), QStringLiteral("天"));
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
        QVERIFY(bankFileNeedsDefault(path())); // missing
        writeBytes(path(), "");
        QVERIFY(bankFileNeedsDefault(path())); // zero bytes
        writeBytes(path(), "\r\n");
        QVERIFY(bankFileNeedsDefault(path())); // only CR LF
        writeBytes(path(), "   ");
        QVERIFY(!bankFileNeedsDefault(path())); // spaces are content
        QDir(dir.path()).mkdir(QStringLiteral("d"));
        QVERIFY(!bankFileNeedsDefault(path(QStringLiteral("d")))); // a folder is not overwritten
        if (geteuid() != 0) {
            writeBytes(path(), "天");
            QFile::setPermissions(path(), QFileDevice::WriteOwner);
            QVERIFY(!bankFileNeedsDefault(path())); // unreadable: left alone
            QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }

    void fullDiskKeepsTheOldBank()
    {
        FullDisk disk;
        if (!disk.mounted())
            QSKIP(
                "mounting a small tmpfs is not allowed here (needs root); the full-disk case is not tested");
        const QString bank = disk.filePath(bankFileName());
        QVERIFY(writeTextFile(bank, QStringLiteral("天 地 人"), true));
        const QByteArray old = fileBytes(bank);
        QVERIFY(disk.fill());

        // Small enough to sit in the write buffer until the end.
        QVERIFY(!writeTextFile(bank, QStringLiteral("一"), true));
        QCOMPARE(fileBytes(bank), old);
        QVERIFY(!writeTextFile(bank, QString(), true)); // the deletion of the last item
        QCOMPARE(fileBytes(bank), old);
        // Larger than the buffer.
        QVERIFY(!writeTextFile(bank, QString(20000, QChar(0x5929)), true));
        QCOMPARE(fileBytes(bank), old);
        // No temporary file is left taking space.
        QDir folder(disk.filePath(QString()));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList {QStringLiteral("filler"), bankFileName()}));
        // The next start finds the pupil's bank, not an empty one.
        QVERIFY(!bankFileNeedsDefault(bank));
        QCOMPARE(readTextFile(bank), QStringLiteral("天 地 人"));

        // Room again: writing works as before.
        QVERIFY(QFile::remove(disk.filePath(QStringLiteral("filler"))));
        QVERIFY(writeTextFile(bank, QStringLiteral("一"), true));
        QCOMPARE(readTextFile(bank), QStringLiteral("一"));
    }

    void onlyRegularFilesAreRead()
    {
        // A FIFO, alone and behind a link; a socket. Reading them returns the
        // empty text at once, the start-up never counts them as an empty bank,
        // and nothing is written over them.
        const QString fifo = path(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        const QString fifoLink = path(QStringLiteral("fifo-link"));
        QVERIFY(QFile::link(fifo, fifoLink));
        const QString socketPath = path(QStringLiteral("socket"));
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(sock >= 0);
        const auto closeSocket = qScopeGuard([sock] { ::close(sock); });
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray socketName = QFile::encodeName(socketPath);
        QVERIFY(size_t(socketName.size()) < sizeof(address.sun_path));
        qstrcpy(address.sun_path, socketName.constData());
        QCOMPARE(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);

        for (const QString &p : {fifo, fifoLink, socketPath}) {
            // Read on a thread: should the read block, a writer releases it and the test fails.
            auto reading = std::async(std::launch::async, [p] {
                return readTextFile(p) + readForeignTextFile(p)
                    + (bankFileNeedsDefault(p) ? QStringLiteral("default") : QString());
            });
            if (reading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
                while (reading.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
                    const int w = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                    if (w >= 0)
                        ::close(w);
                }
                QFAIL(qPrintable(QStringLiteral("reading %1 blocked").arg(p)));
            }
            QCOMPARE(reading.get(), QString());
            QVERIFY(!writeTextFile(p, QStringLiteral("天"), true));
            QVERIFY(!writeTextFile(p, QStringLiteral("天"), false));
        }
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(::lstat(QFile::encodeName(socketPath).constData(), &st) == 0 && S_ISSOCK(st.st_mode));
        QCOMPARE(QFile::symLinkTarget(fifoLink), fifo);

        // A dangling link is neither read nor taken for a missing bank.
        const QString dangling = path(QStringLiteral("dangling"));
        QVERIFY(QFile::link(path(QStringLiteral("nowhere")), dangling));
        QVERIFY(!bankFileNeedsDefault(dangling));
    }

    void devicesAreNeverRead()
    {
        // Devices made here, so that nothing outside the test folder is at risk:
        // one that reads as empty, one that never ends.
        const QString null = path(QStringLiteral("null"));
        const QString zero = path(QStringLiteral("zero"));
        if (::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0
            || ::mknod(QFile::encodeName(zero).constData(), S_IFCHR | 0666, makedev(1, 5)) != 0)
            QSKIP("cannot make device files here (needs root); devices in place of the bank are not tested");
        QFile probe(zero);
        if (!probe.open(QIODevice::ReadOnly))
            QSKIP("device files cannot be opened here; devices in place of the bank are not tested");
        probe.close();
        const QString zeroLink = path(QStringLiteral("zero-link"));
        QVERIFY(QFile::link(zero, zeroLink));
        for (const QString &p : {null, zero, zeroLink}) {
            QElapsedTimer t;
            t.start();
            QCOMPARE(readTextFile(p), QString());
            QCOMPARE(readForeignTextFile(p), QString());
            QVERIFY2(!bankFileNeedsDefault(p), qPrintable(p));
            QVERIFY(t.elapsed() < 2000);
            QVERIFY(!writeTextFile(p, QStringLiteral("天"), true));
            struct stat st;
            QVERIFY(::stat(QFile::encodeName(p).constData(), &st) == 0 && S_ISCHR(st.st_mode));
        }
    }

    void readSizeLimit()
    {
        // A regular file that claims no size still reads whole.
        QVERIFY(QFileInfo(QStringLiteral("/proc/self/status")).size() == 0);
        QVERIFY(readTextFile(QStringLiteral("/proc/self/status")).contains(QStringLiteral("Name:")));
        // One byte over the limit is too large (a sparse file: nothing on disk).
        QFile big(path(QStringLiteral("big.txt")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(maxTextFileSize + 1));
        big.close();
        QCOMPARE(readTextFile(big.fileName()), QString());
        QVERIFY(!bankFileNeedsDefault(big.fileName()));
    }

    void halfCharacterAtTheEnd()
    {
        // The single lead byte of 啊 (B0A1), and the first half of a four-byte code.
        writeBytes(path(), "\xB0");
        QCOMPARE(readTextFile(path()), QString(QChar(0xFFFD)));
        QVERIFY(!bankFileNeedsDefault(path()));
        writeBytes(path(), "\xCC\xEC \xB0");
        QCOMPARE(readTextFile(path()), QStringLiteral("天 \uFFFD"));
        QCOMPARE(readForeignTextFile(path()), QStringLiteral("天 \uFFFD"));
        // At the end as anywhere else: the same as with a space after it.
        for (const QByteArray &tail : {QByteArray("\xB0"), QByteArray("\x81"), QByteArray("\x81\x30"),
                                       QByteArray("\x81\x30\x81"), QByteArray("\xB0\xB0\xB0")}) {
            writeBytes(path(), "a" + tail + " ");
            const QString spaced = readTextFile(path());
            writeBytes(path(), "a" + tail);
            QCOMPARE(readTextFile(path()) + QLatin1Char(' '), spaced);
            QVERIFY(readTextFile(path()).contains(QChar(0xFFFD)));
        }
        // Whole characters are untouched, CR LF still dropped.
        writeBytes(path(), "\xCC\xEC\r\n");
        QCOMPARE(readTextFile(path()), QStringLiteral("天"));
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
