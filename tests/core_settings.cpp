// The settings store: service addresses are web addresses only.
#include "core/modpub.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>

using namespace modPub;

namespace {
const QString services = QStringLiteral("services");
} // namespace

class CoreSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(testsupport::settingsFile()); }

    void serviceAddressesAreWebAddressesWithAHost_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("used");
        QTest::newRow("http") << "http://127.0.0.1:8080/" << "http://127.0.0.1:8080/";
        QTest::newRow("https, spaces") << "  https://tts.example/api/ " << "https://tts.example/api/";
        QTest::newRow("upper-case scheme") << "HTTP://dict.example" << "HTTP://dict.example";
        QTest::newRow("file") << "file:///etc/passwd" << "";
        QTest::newRow("file with host") << "file://localhost/etc/passwd" << "";
        QTest::newRow("data") << "data:text/html,<b>x</b>" << "";
        QTest::newRow("javascript") << "javascript:alert(1)" << "";
        QTest::newRow("ftp") << "ftp://files.example/" << "";
        QTest::newRow("no host") << "http://" << "";
        QTest::newRow("no host, path") << "http:///zici" << "";
        QTest::newRow("no scheme") << "dict.example" << "";
        QTest::newRow("relative") << "/zici/s" << "";
        QTest::newRow("broken") << "http://exa mple.com" << "";
        QTest::newRow("empty") << "" << "";
    }

    void serviceAddressesAreWebAddressesWithAHost()
    {
        QFETCH(QString, stored);
        QFETCH(QString, used);
        QCOMPARE(serviceAddress(stored), used);
        // Every use reads them through the store.
        saveSetting(services, QStringLiteral("tts"), stored);
        saveSetting(services, QStringLiteral("dictionary"), stored);
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
};

LORVANTA_TEST_MAIN(CoreSettings, QCoreApplication)
#include "core_settings.moc"
