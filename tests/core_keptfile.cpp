// The writer of the files beside the bank, and the settings store, on a
// folder as a family leaves it: links to the bank, second names, FIFOs,
// other users' files, UTF-8 written by a text editor, a full disk.
#include "core/bankfile.h"
#include "core/keptfile.h"
#include "core/settings.h"
#include "tests/support/fulldisk.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

using namespace keptfile;
using testsupport::fileBytes;
using testsupport::writeBytes;

namespace {
// A GBK text with a stray byte no decoder keeps.
const QByteArray strayGbk = QByteArray("\xCC\xEC \x80\xB5\xD8\r\n", 8);
const QByteArray utf8Book = QByteArray("天 地 人\r\n");

QByteArray gbkOf(const QString &text) { return modPub::encodeGbk(text); }
} // namespace

class CoreKeptFile : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    QString book() const { return besideBank(mistakeBookName()); }
    QString record() const { return besideBank(recordName()); }

private slots:
    void initTestCase() { modPub::setBankDirOverride(dir.path()); }
    void init()
    {
        for (const QString &name :
             QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
            QFile::remove(path(name));
        QVERIFY(modPub::writeTextFile(modPub::bankPath(), QStringLiteral("天 地"), true));
    }

    void linksSecondNamesAndStrangersAreRefused()
    {
        const QByteArray bank = fileBytes(modPub::bankPath());
        // A link to the bank, and a second name of it.
        QVERIFY(QFile::link(modPub::bankPath(), record()));
        QVERIFY(
            ::link(QFile::encodeName(modPub::bankPath()).constData(), QFile::encodeName(book()).constData())
            == 0);
        QVERIFY(refusal(record()).contains(QStringLiteral("是一个链接，指向生字库")));
        QVERIFY(refusal(book()).contains(QStringLiteral("和生字库")));
        Appended done;
        QVERIFY(!appendLine(record(), Kind::Record, QStringLiteral("x"), &done).isEmpty());
        QVERIFY(!rewrite(book(), Kind::MistakeBook, QStringLiteral("x"), gbk()).isEmpty());
        QString why;
        QVERIFY(!read(book(), Kind::MistakeBook, &why));
        QCOMPARE(fileBytes(modPub::bankPath()), bank);

        // A FIFO never holds the writer, and a folder is no file.
        QVERIFY(QFile::remove(book()) && QFile::remove(record()));
        QVERIFY(::mkfifo(QFile::encodeName(record()).constData(), 0600) == 0);
        QVERIFY(QDir(dir.path()).mkdir(mistakeBookName()));
        QVERIFY(!appendLine(record(), Kind::Record, QStringLiteral("x"), &done).isEmpty());
        QVERIFY(refusal(book()).contains(QStringLiteral("不是普通文件")));

        // A file of another user, which the program run as root could take over.
        if (::geteuid() == 0) {
            QVERIFY(QDir(dir.path()).rmdir(mistakeBookName()));
            QVERIFY(writeBytes(path(QStringLiteral("theirs.txt")), "他的\r\n"));
            QVERIFY(::chown(QFile::encodeName(path(QStringLiteral("theirs.txt"))).constData(), 65534, 65534)
                    == 0);
            QVERIFY(QFile::link(path(QStringLiteral("theirs.txt")), book()));
            QVERIFY(rewrite(book(), Kind::MistakeBook, QStringLiteral("x"), gbk())
                        .contains(QStringLiteral("另一个用户")));
            struct stat st;
            QVERIFY(::stat(QFile::encodeName(path(QStringLiteral("theirs.txt"))).constData(), &st) == 0);
            QCOMPARE(st.st_uid, uid_t(65534));
            QCOMPARE(fileBytes(path(QStringLiteral("theirs.txt"))), QByteArray("他的\r\n"));
        }

        // A link to a file of one's own elsewhere is written through, the link kept.
        QFile::remove(book());
        QDir(dir.path()).rmdir(mistakeBookName());
        QVERIFY(writeBytes(path(QStringLiteral("mine.txt")), gbkOf(QStringLiteral("旧")) + "\r\n"));
        QVERIFY(QFile::link(path(QStringLiteral("mine.txt")), book()));
        QCOMPARE(rewrite(book(), Kind::MistakeBook, QStringLiteral("新"), gbk()), QString());
        QVERIFY(QFileInfo(book()).isSymLink());
        QCOMPARE(fileBytes(path(QStringLiteral("mine.txt"))), gbkOf(QStringLiteral("新")) + "\r\n");
    }

    void eachFileKeepsItsEncoding_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // "天 地 人" rewritten as "天 人"
        QTest::newRow("GBK") << gbkOf(QStringLiteral("天 地 人\r\n")) << gbkOf(QStringLiteral("天 人\r\n"));
        QTest::newRow("UTF-8, as a Debian editor saves") << utf8Book << QByteArray("天 人\r\n");
        QTest::newRow("UTF-8 with a mark")
            << "\xEF\xBB\xBF" + utf8Book << QByteArray("\xEF\xBB\xBF天 人\r\n");
        QTest::newRow("UTF-16 with a mark")
            << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(u"天 地 人\r\n"), 14)
            << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(u"天 人\r\n"), 10);
    }
    void eachFileKeepsItsEncoding()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QVERIFY(writeBytes(book(), before));
        QString why;
        const std::optional<Text> text = read(book(), Kind::MistakeBook, &why);
        QVERIFY2(text, qPrintable(why));
        QCOMPARE(text->text, QStringLiteral("天 地 人"));
        QCOMPARE(rewrite(book(), Kind::MistakeBook, QStringLiteral("天 人"), text->encoding), QString());
        QCOMPARE(fileBytes(book()), after);
        // A line appended to a record in the same encoding goes in that encoding too.
        QVERIFY(writeBytes(record(), before));
        QCOMPARE(appendLine(record(), Kind::Record, QStringLiteral("口"), nullptr), QString());
        QCOMPARE(read(record(), Kind::Record, &why)->text, QStringLiteral("天 地 人\r\n口"));
    }

    void aTextThatDoesNotDecodeIsNeverRewritten()
    {
        QVERIFY(writeBytes(book(), strayGbk));
        QString why;
        QVERIFY(!read(book(), Kind::MistakeBook, &why));
        QCOMPARE(why, QStringLiteral("错字本“%1”不是 GBK 或 UTF-8 文本，没有改动它。").arg(book()));
        // A missing file is empty GBK text, to be made.
        QVERIFY(QFile::remove(book()));
        const std::optional<Text> none = read(book(), Kind::MistakeBook, &why);
        QVERIFY(none && !none->exists && none->text.isEmpty() && none->encoding == gbk());
    }

    void appendedLinesAreTakenBackAndNeverHalf()
    {
        QVERIFY(writeBytes(record(), gbkOf(QStringLiteral("旧的一行")))); // no line break at the end
        Appended first;
        QCOMPARE(appendLine(record(), Kind::Record, QStringLiteral("第一次"), &first), QString());
        QCOMPARE(fileBytes(record()), gbkOf(QStringLiteral("旧的一行\r\n第一次\r\n")));
        // Marked again: the run's line is replaced while it is still the last.
        Appended second;
        QCOMPARE(appendLine(record(), Kind::Record, QStringLiteral("第二次"), &second, &first), QString());
        QCOMPARE(fileBytes(record()), gbkOf(QStringLiteral("旧的一行\r\n第二次\r\n")));
        // Another run's line came after it: this one stays, and the new one follows.
        QCOMPARE(appendLine(record(), Kind::Record, QStringLiteral("别的"), nullptr), QString());
        QCOMPARE(appendLine(record(), Kind::Record, QStringLiteral("第三次"), nullptr, &second), QString());
        QCOMPARE(fileBytes(record()), gbkOf(QStringLiteral("旧的一行\r\n第二次\r\n别的\r\n第三次\r\n")));

        testsupport::FullDisk disk;
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root)");
        const QString full = disk.filePath(recordName());
        QVERIFY(writeBytes(full, gbkOf(QStringLiteral("旧\r\n"))));
        QVERIFY(disk.fill());
        QString line(3000, QChar(0x5929));
        QVERIFY(appendLine(full, Kind::Record, line, nullptr).contains(QStringLiteral("磁盘已满")));
        QCOMPARE(fileBytes(full), gbkOf(QStringLiteral("旧\r\n")));
        QVERIFY(rewrite(full, Kind::Record, line, gbk()).contains(QStringLiteral("磁盘已满")));
        QCOMPARE(fileBytes(full), gbkOf(QStringLiteral("旧\r\n")));
    }

    void settingsNeverWriteThroughAKeptFile()
    {
        const QString store = testsupport::settingsFile();
        QCOMPARE(settingsPath(), store);
        QDir().mkpath(QFileInfo(store).absolutePath());
        const auto restore = qScopeGuard([store] { QFile::remove(store); });
        // A link to the bank: nothing written, the bank as it was, and why.
        QFile::remove(store);
        QVERIFY(QFile::link(modPub::bankPath(), store));
        const QByteArray bank = fileBytes(modPub::bankPath());
        QString why;
        QVERIFY(!modPub::saveSettings(QStringLiteral("main"),
                                      {{QStringLiteral("jiange"), QStringLiteral("5")}}, &why));
        QVERIFY(why.contains(QStringLiteral("生字库")));
        QCOMPARE(fileBytes(modPub::bankPath()), bank);
        // A FIFO as the store is read as missing at once and never written.
        QVERIFY(QFile::remove(store));
        QVERIFY(::mkfifo(QFile::encodeName(store).constData(), 0600) == 0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(modPub::getSetting(QStringLiteral("main"), QStringLiteral("jiange")), QString());
        QVERIFY(
            !modPub::saveSettings(QStringLiteral("main"), {{QStringLiteral("jiange"), QStringLiteral("5")}}));
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(QFileInfo(store).exists() && !QFileInfo(store).isFile());
    }
};

LORVANTA_TEST_MAIN(CoreKeptFile, QCoreApplication)
#include "core_keptfile.moc"
