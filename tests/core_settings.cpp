// The settings store: its typed sections at their edges, saving never hangs
// on its lock, service addresses are web addresses only.
#include "core/appsettings.h"
#include "core/network.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QSet>
#include <QSettings>
#include <QSize>

#include <unistd.h>

using namespace modPub;
using appsettings::Tick;

namespace {
const QString services = QStringLiteral("services");

QString lockPath() { return testsupport::settingsFile() + QStringLiteral(".lock"); }
} // namespace

class CoreSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(testsupport::settingsFile()); }

    void mainSectionAtItsEdges_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<Tick>("tick");
        QTest::newRow("0") << "0" << Tick::Unticked;
        QTest::newRow("1") << "1" << Tick::Ticked;
        QTest::newRow("2 greys the box") << "2" << Tick::Greyed;
        QTest::newRow("spaces") << " 1 " << Tick::Ticked;
        QTest::newRow("leading zero") << "02" << Tick::Greyed;
        QTest::newRow("3") << "3" << Tick::Unticked;
        QTest::newRow("negative") << "-1" << Tick::Unticked;
        QTest::newRow("huge") << "4294967297" << Tick::Unticked;
        QTest::newRow("decimal") << "1.0" << Tick::Unticked;
        QTest::newRow("word") << "true" << Tick::Unticked;
        QTest::newRow("empty") << "" << Tick::Unticked;
    }

    void mainSectionAtItsEdges()
    {
        QFETCH(QString, stored);
        QFETCH(Tick, tick);
        QVERIFY(saveSettings(QStringLiteral("main"),
                             {{QStringLiteral("dalu"), stored},
                              {QStringLiteral("langdu"), stored},
                              {QStringLiteral("jiange"), QStringLiteral("x90")}}));
        const appsettings::MainSection s = appsettings::MainSection::load();
        QCOMPARE(s.shuffle, tick);
        QCOMPARE(s.readAloud, tick);
        // The interval as it was stored: the window's box filters it.
        QCOMPARE(s.interval, QStringLiteral("x90"));
    }

    void mainSectionRoundTripAndWrongTypes()
    {
        QCOMPARE(appsettings::MainSection::load().interval, QString()); // a first start
        QVERIFY(
            (appsettings::MainSection {QStringLiteral("75"), Tick::Greyed, Tick::Ticked}.save().isEmpty()));
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("jiange")), QStringLiteral("75"));
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("dalu")), QStringLiteral("2"));
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("langdu")), QStringLiteral("1"));
        const appsettings::MainSection back = appsettings::MainSection::load();
        QCOMPARE(back.interval, QStringLiteral("75"));
        QCOMPARE(back.shuffle, Tick::Greyed);
        QCOMPARE(back.readAloud, Tick::Ticked);
        {
            // Values of other types, as another program could leave them.
            QSettings raw(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"));
            raw.setValue(QStringLiteral("main/jiange"),
                         QStringList {QStringLiteral("5"), QStringLiteral("6")});
            raw.setValue(QStringLiteral("main/dalu"), QSize(1, 1));
            raw.setValue(QStringLiteral("main/langdu"), QVariantList {1});
        }
        const appsettings::MainSection odd = appsettings::MainSection::load();
        QCOMPARE(odd.interval, QString());
        QCOMPARE(odd.shuffle, Tick::Unticked);
        QCOMPARE(odd.readAloud, Tick::Unticked);
    }

    void aLockThatCannotBeTakenDoesNotHoldTheSave()
    {
        QVERIFY(saveSetting(QStringLiteral("main"), QStringLiteral("jiange"), QStringLiteral("7")));
        // A folder where QSettings puts its lock file: QSettings alone would
        // retry for ever.
        QVERIFY(QDir().mkpath(lockPath()));
        QElapsedTimer t;
        t.start();
        QVERIFY(!saveSettings(QStringLiteral("main"),
                              {{QStringLiteral("jiange"), QStringLiteral("9")},
                               {QStringLiteral("dalu"), QStringLiteral("1")}}));
        QVERIFY2(t.elapsed() < 3 * settingsLockWaitMs, qPrintable(QString::number(t.elapsed())));
        // Nothing half written, reading still works.
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("jiange")), QStringLiteral("7"));
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("dalu")), QString());
        QVERIFY(QDir(lockPath()).removeRecursively());
        QVERIFY(saveSetting(QStringLiteral("main"), QStringLiteral("jiange"), QStringLiteral("9")));
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("jiange")), QStringLiteral("9"));

        // A lock held by a writer that never lets go: given up after a moment too.
        QLockFile held(lockPath());
        QVERIFY(held.tryLock(0));
        t.restart();
        QVERIFY(!saveSetting(QStringLiteral("main"), QStringLiteral("jiange"), QStringLiteral("3")));
        QVERIFY2(t.elapsed() < 3 * settingsLockWaitMs, qPrintable(QString::number(t.elapsed())));
        held.unlock();
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("jiange")), QStringLiteral("9"));
    }

    void anUnwritableStoreFailsAtOnce()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into a read-only folder");
        QVERIFY(saveSetting(QStringLiteral("main"), QStringLiteral("jiange"), QStringLiteral("7")));
        const QString dir = QFileInfo(testsupport::settingsFile()).absolutePath();
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        QElapsedTimer t;
        t.start();
        const bool saved = saveSetting(QStringLiteral("main"), QStringLiteral("jiange"), QStringLiteral("8"));
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!saved);
        QVERIFY(t.elapsed() < 3 * settingsLockWaitMs);
        QCOMPARE(getSetting(QStringLiteral("main"), QStringLiteral("jiange")), QStringLiteral("7"));
    }

    void serviceAddressesAreWebAddressesWithAHost_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("used");
        QTest::newRow("http") << "http://127.0.0.1:8080/"
                              << "http://127.0.0.1:8080/";
        QTest::newRow("https, spaces") << "  https://tts.example/api/ "
                                       << "https://tts.example/api/";
        QTest::newRow("upper-case scheme") << "HTTP://dict.example"
                                           << "HTTP://dict.example";
        QTest::newRow("file") << "file:///etc/passwd"
                              << "";
        QTest::newRow("file with host") << "file://localhost/etc/passwd"
                                        << "";
        QTest::newRow("data") << "data:text/html,<b>x</b>"
                              << "";
        QTest::newRow("javascript") << "javascript:alert(1)"
                                    << "";
        QTest::newRow("ftp") << "ftp://files.example/"
                             << "";
        QTest::newRow("no host") << "http://"
                                 << "";
        QTest::newRow("no host, path") << "http:///zici"
                                       << "";
        QTest::newRow("no scheme") << "dict.example"
                                   << "";
        QTest::newRow("relative") << "/zici/s"
                                  << "";
        QTest::newRow("broken") << "http://exa mple.com"
                                << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void serviceAddressesAreWebAddressesWithAHost()
    {
        QFETCH(QString, stored);
        QFETCH(QString, used);
        QCOMPARE(serviceAddress(stored), used);
        // Every use reads them through the store.
        QVERIFY(saveSetting(services, QStringLiteral("tts"), stored));
        QVERIFY(saveSetting(services, QStringLiteral("dictionary"), stored));
        QCOMPARE(ttsEndpoint(), used);
        QString base = used;
        while (base.endsWith(QLatin1Char('/')))
            base.chop(1);
        QCOMPARE(dictionaryBase(), base);
        if (used.isEmpty()) {
            QCOMPARE(getStrokeOrderUrl(QStringLiteral("天")), QString());
            QCOMPARE(httpGetText(stored), QString());
        }
    }

    // Every key of the table at its edges, through the one parser and writer:
    // what is accepted comes back as stored, one step beyond gives the
    // default (or the edge, where the key brings a number into range).
    void everyKeyAtItsEdges()
    {
        namespace sk = settingkeys;
        QSet<QString> names;
        for (const sk::Key *key : sk::all) {
            const QString where = QLatin1String(key->section) + u'/' + QLatin1String(key->name);
            QVERIFY2(!names.contains(where), qPrintable(where));
            names.insert(where);
            const auto parsed = [key](const QString &text) { return sk::parse(*key, text); };
            switch (key->type) {
            case sk::Type::Integer:
                QVERIFY2(key->low <= key->fallback && key->fallback <= key->high, qPrintable(where));
                for (int v : {key->low, key->high, (key->low + key->high) / 2})
                    QCOMPARE(parsed(QLatin1Char(' ') + sk::format(*key, v) + QLatin1Char(' ')), v);
                QCOMPARE(parsed(QString::number(key->low - 1)), key->clamped ? key->low : key->fallback);
                QCOMPARE(parsed(QString::number(key->high + 1)), key->clamped ? key->high : key->fallback);
                QCOMPARE(parsed(QStringLiteral("4294967297")), key->fallback);
                QCOMPARE(parsed(QString::number(key->high) + QStringLiteral(".0")), key->fallback);
                break;
            case sk::Type::Flag:
                QCOMPARE(parsed(QStringLiteral("1")), 1);
                QCOMPARE(parsed(QStringLiteral(" 0")), 0);
                QCOMPARE(parsed(QStringLiteral("2")), key->fallback);
                QCOMPARE(sk::format(*key, 1), QStringLiteral("1"));
                break;
            case sk::Type::Word:
                for (int i = 0; i < int(key->words.size()) && key->words[size_t(i)]; ++i) {
                    QCOMPARE(parsed(sk::format(*key, i).toUpper()), i);
                    QCOMPARE(sk::format(*key, i), QLatin1String(key->words[size_t(i)]));
                }
                QCOMPARE(parsed(QStringLiteral("huge")), key->fallback);
                break;
            case sk::Type::Text:
            case sk::Type::Address: break;
            }
            QCOMPARE(parsed(QString()), key->fallback);
        }
        // Worked values a hand edit leaves: the writing time stops at 300 s,
        // the misses before a stroke is drawn at 5, all copies is "all".
        QCOMPARE(sk::parse(sk::dictationWrite, QStringLiteral("300")), 300);
        QCOMPARE(sk::parse(sk::dictationWrite, QStringLiteral("1000")), 8);
        QCOMPARE(sk::parse(sk::writingMisses, QStringLiteral("6")), 3);
        QCOMPARE(sk::parse(sk::sheetCopies, QStringLiteral("-7")), -1);
        QCOMPARE(sk::format(sk::sheetCopies, -1), QStringLiteral("all"));
        QCOMPARE(sk::parse(sk::sheetCopies, QStringLiteral("ALL")), -1);

        // One section's save says why it failed: a folder where the lock goes.
        QVERIFY(QDir().mkpath(QFileInfo(testsupport::settingsFile()).absolutePath()));
        QVERIFY(QDir().mkpath(lockPath()));
        const QString why = sk::save({{sk::writingMisses, 4}, {sk::writingMode, 1}});
        QVERIFY(QDir(lockPath()).removeRecursively());
        QVERIFY2(why.contains(QStringLiteral("锁不住")), qPrintable(why));
        QCOMPARE(sk::read(sk::writingMisses), 3);
        QCOMPARE(sk::save({{sk::writingMisses, 4}, {sk::writingMode, 1}}), QString());
        QCOMPARE(getSetting(QStringLiteral("writing"), QStringLiteral("mode")), QStringLiteral("write"));
        QCOMPARE(sk::read(sk::writingMisses), 4);
    }
};

LORVANTA_TEST_MAIN(CoreSettings, QCoreApplication)
#include "core_settings.moc"
