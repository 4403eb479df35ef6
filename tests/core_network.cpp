// URL encoding, HTTP text and the stroke-order lookup against a local server.
#include "core/httpclient.h"
#include "core/network.h"
#include "core/settings.h"
#include "tests/support/localserver.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

using namespace modPub;

namespace {
// Answers every request with a page that never ends, as fast as the client
// takes it; after `cap` bytes it gives up, so a client that never stops
// reading still ends.
class EndlessServer : public QObject
{
public:
    static constexpr qint64 cap = 64LL * 1024 * 1024;
    explicit EndlessServer(const QByteArray &start) : m_start(start)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    if (!m_request.isEmpty())
                        return;
                    m_request = s->readAll();
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                             "Connection: close\r\n\r\n"
                             + m_start);
                    feed(s);
                });
                connect(s, &QTcpSocket::bytesWritten, this, [this, s] { feed(s); });
                connect(s, &QTcpSocket::disconnected, this, [this, s] {
                    m_closed = true;
                    s->deleteLater();
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    qint64 sent() const { return m_sent; }
    bool closed() const { return m_closed; }

private:
    void feed(QTcpSocket *s)
    {
        static const QByteArray chunk = QByteArray("<p>天天天天</p>\n").repeated(4096);
        while (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() < 1024 * 1024
               && m_sent < cap) {
            s->write(chunk);
            m_sent += chunk.size();
        }
        if (m_sent >= cap && s->bytesToWrite() == 0)
            s->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_start;
    QByteArray m_request;
    qint64 m_sent = 0;
    bool m_closed = false;
};
} // namespace

class CoreNetwork : public QObject
{
    Q_OBJECT
private slots:
    void urlEncoding()
    {
        QCOMPARE(urlEncode(QStringLiteral("天")), QStringLiteral("%E5%A4%A9"));
        QCOMPARE(urlEncode(QStringLiteral("中")), QStringLiteral("%E4%B8%AD"));
        QCOMPARE(urlEncode(QStringLiteral("ü")), QStringLiteral("%C3%BC"));
        QCOMPARE(urlEncode(QStringLiteral("ɑ")), QStringLiteral("%C9%91"));
        QCOMPARE(urlEncode(QStringLiteral("ǖ")), QStringLiteral("%C7%96"));
        QCOMPARE(urlEncode(QString(QChar(0x0800))), QStringLiteral("%E0%A0%80"));
        QCOMPARE(urlEncode(QString(QChar(0x07FF))), QStringLiteral("%DF%BF"));
        QCOMPARE(urlEncode(QStringLiteral("a b&c'#%+=?")), QStringLiteral("a b&c'#%+=?"));
        QCOMPARE(urlEncode(QString()), QString());
        QCOMPARE(urlEncode(QStringLiteral("天a")), QStringLiteral("%E5%A4%A9a"));
        // Surrogate halves are encoded one by one.
        QCOMPARE(urlEncode(QStringLiteral("𠀀")), QStringLiteral("%ED%A1%80%ED%B0%80"));
        QCOMPARE(urlEncode(QString(QChar(0xFFFF))), QStringLiteral("%EF%BF%BF"));
    }

    void bytesInCharsets()
    {
        QCOMPARE(bytesToText(QByteArray("\xE5\xA4\xA9"), QStringLiteral("UTF-8")), QStringLiteral("天"));
        QCOMPARE(bytesToText(QByteArray("\xCC\xEC"), QStringLiteral("GB18030")), QStringLiteral("天"));
        QCOMPARE(bytesToText(QByteArray("x"), QStringLiteral("no-such-charset")), QString());
        // Invalid UTF-8 decodes to replacement characters, never fails.
        QVERIFY(bytesToText(QByteArray("a\xFF"
                                       "b"),
                            QStringLiteral("UTF-8"))
                    .startsWith(QLatin1Char('a')));
    }

    void httpTextAndHeader()
    {
        LocalServer server;
        server.setAnswer("/page", {200, "text/html; charset=utf-8", QByteArray("你好")});
        server.setAnswer("/missing", {404, "text/html", QByteArray("<h1>没有</h1>")});
        QCOMPARE(httpGetText(server.base() + QStringLiteral("/page?x=1")), QStringLiteral("你好"));
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests()[0].method, QByteArray("GET"));
        QCOMPARE(server.requests()[0].target, QByteArray("/page?x=1"));
        QCOMPARE(server.requests()[0].headers.value("if-modified-since"), QByteArray("0"));
        // An error page is text like any other.
        QCOMPARE(httpGetText(server.base() + QStringLiteral("/missing")), QStringLiteral("<h1>没有</h1>"));
    }

    void requestsThatCannotBeMade()
    {
        QCOMPARE(httpGetText(QString()), QString());
        QCOMPARE(httpGetText(QStringLiteral("/zici/s?wd=x")), QString());
        QCOMPARE(httpGetText(QStringLiteral("http://no-such-host.invalid/")), QString());
        LocalServer closed;
        const QString address = closed.base() + QStringLiteral("/");
        closed.close();
        QCOMPARE(httpGetText(address), QString()); // refused
    }

    void strokeOrderPattern()
    {
        QCOMPARE(strokeOrderUrlFromPage(
                     QStringLiteral("<img id=\"word_bishun\" class=\"x\" data-gif=\"G\" src=\"S\">")),
                 QStringLiteral("G"));
        QCOMPARE(
            strokeOrderUrlFromPage(QStringLiteral("<img class=\"x\" id=\"word_bishun\" data-gif=\"G\">")),
            QString());
        // Tag names in any case; the [^>] runs cross lines; the first match wins.
        QCOMPARE(strokeOrderUrlFromPage(
                     QStringLiteral("<IMG ID=\"word_bishun\"\nclass=\"a\"\n DATA-GIF=\"http://h/1.gif\">"
                                    "<img id=\"word_bishun\" gif=\"second\">")),
                 QStringLiteral("http://h/1.gif"));
        // The address itself stays within one line; entities are not decoded.
        QCOMPARE(strokeOrderUrlFromPage(QStringLiteral("<img id=\"word_bishun\" gif=\"a&amp;b\">")),
                 QStringLiteral("a&amp;b"));
        QCOMPARE(strokeOrderUrlFromPage(QStringLiteral("<img id=\"word_bishun\" gif=\"a\nb\">")), QString());
        QCOMPARE(strokeOrderUrlFromPage(QString()), QString());
    }

    void strokeOrderLookup()
    {
        LocalServer server;
        server.setAnswer(
            "/zici/s",
            {200, "text/html; charset=utf-8",
             QByteArray("<html><img id=\"word_bishun\" data-gif=\"http://x/tian.gif\"></html>")});
        saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"),
                    server.base() + QStringLiteral("/"));
        QCOMPARE(dictionaryPageEndpoint(), server.base() + QStringLiteral("/zici/s?wd="));
        QCOMPARE(getStrokeOrderUrl(QStringLiteral("天")), QStringLiteral("http://x/tian.gif"));
        QCOMPARE(server.requests().last().target, QByteArray("/zici/s?wd=%E5%A4%A9"));
        // No dictionary configured: nothing is fetched.
        saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), QString());
        server.clear();
        QCOMPARE(getStrokeOrderUrl(QStringLiteral("天")), QString());
        QCOMPARE(server.requests().size(), 0);
    }

    void oversizedPagesAreNotStrokeOrderPages()
    {
        const QByteArray element("<img id=\"word_bishun\" data-gif=\"http://x/tian.gif\">");
        LocalServer server;
        saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), server.base());
        // A large page below the limit is read whole: the element at its very end is found.
        server.setAnswer("/zici/s",
                         {200, "text/html; charset=utf-8",
                          QByteArray(int(httpMaxPageBytes) - element.size(), ' ') + element});
        QCOMPARE(getStrokeOrderUrl(QStringLiteral("天")), QStringLiteral("http://x/tian.gif"));
        // One byte more and the page is dropped, element and all.
        server.setAnswer("/zici/s",
                         {200, "text/html; charset=utf-8",
                          element + QByteArray(int(httpMaxPageBytes) - element.size() + 1, ' ')});
        QCOMPARE(getStrokeOrderUrl(QStringLiteral("天")), QString());
        QCOMPARE(httpGetText(server.base() + QStringLiteral("/zici/s?wd=x")), QString());
        saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), QString());
    }

    void endlessPageIsCutOff()
    {
        EndlessServer server("<img id=\"word_bishun\" data-gif=\"http://x/tian.gif\">");
        saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), server.base());
        QElapsedTimer t;
        t.start();
        QCOMPARE(getStrokeOrderUrl(QStringLiteral("天")), QString());
        // Stopped soon after the limit, long before the time limit, and the connection is dropped.
        QVERIFY2(t.elapsed() < httpTimeoutMs / 2, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(server.sent() < 4 * httpMaxPageBytes, qPrintable(QString::number(server.sent())));
        QTRY_VERIFY(server.closed());
        saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), QString());
    }

    void requestsThatDoNotWait()
    {
        HttpClient *http = modules::get<HttpClient>();
        QVERIFY(http);
        LocalServer server;
        server.setAnswer("/a", {404, "audio/mpeg", QByteArray("ID3 body")});
        server.setAnswer("/slow", {200, "audio/mpeg", QByteArray("late"), 3000});
        server.setAnswer("/big", {200, "audio/mpeg", QByteArray(64 * 1024, 'x')});
        QList<HttpAnswer> answers;
        const auto fetch = [&](const QString &address, int timeoutMs = 5000, qint64 maxBytes = 1024) {
            return http->get(address, timeoutMs, maxBytes, this,
                             [&answers](const HttpAnswer &a) { answers.append(a); });
        };

        // The status and type of an error page, without its body.
        auto call = fetch(server.base() + QStringLiteral("/a"));
        QVERIFY(answers.isEmpty()); // never from within get()
        QTRY_COMPARE(answers.size(), 1);
        QCOMPARE(answers[0].status, 404);
        QCOMPARE(answers[0].contentType, QByteArray("audio/mpeg"));
        QVERIFY(answers[0].body.isEmpty() && !answers[0].timedOut);
        // Too large: ended with no body; too slow: timed out, well before the server answers.
        answers.clear();
        call = fetch(server.base() + QStringLiteral("/big"));
        QTRY_COMPARE(answers.size(), 1);
        QVERIFY(answers[0].body.isEmpty());
        answers.clear();
        QElapsedTimer t;
        t.start();
        qint64 answeredAfter = -1;
        call = http->get(server.base() + QStringLiteral("/slow"), 1000, 1024, this,
                         [&](const HttpAnswer &a) {
                             answeredAfter = t.elapsed();
                             answers.append(a);
                         });
        QTRY_COMPARE(answers.size(), 1);
        QVERIFY(answers[0].timedOut && answers[0].status == 0);
        // The time-out as asked for, within a tenth.
        QVERIFY2(answeredAfter >= 900 && answeredAfter <= 1100, qPrintable(QString::number(answeredAfter)));
        // A call deleted before its answer, or deleted at once after it
        // was refused, never answers.
        answers.clear();
        call = fetch(server.base() + QStringLiteral("/slow"));
        call.reset();
        call = fetch(QStringLiteral("file:///etc/passwd"));
        call.reset();
        QTest::qWait(3500);
        QVERIFY(answers.isEmpty());
        // A refused address answers empty.
        call = fetch(QStringLiteral("data:audio/mpeg,ID3"));
        QTRY_COMPARE(answers.size(), 1);
        QVERIFY(answers[0].status == 0 && answers[0].body.isEmpty());
    }
};

LORVANTA_TEST_MAIN(CoreNetwork, QCoreApplication)
#include "core_network.moc"
