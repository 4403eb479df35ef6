// The stroke-order viewer against a local dictionary: the lookup, the details
// page, the centring of mobile pages, the offline view, and bad answers.
#include "core/settings.h"
#include "tests/support/localserver.h"
#include "tests/support/testsupport.h"
#include "viewer/frmplay.h"
#include "viewer/strokeview.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QWebEngineView>

namespace {
// A 2 × 2 GIF of two frames (black, then white) that loops for ever.
QByteArray animatedGif()
{
    QByteArray gif("GIF89a");
    gif += QByteArray::fromHex("0200"
                               "0200"
                               "80"
                               "00"
                               "00"); // screen, 2-colour table
    gif += QByteArray::fromHex("000000"
                               "ffffff");
    gif += QByteArray::fromHex("21ff0b") + "NETSCAPE2.0"
        + QByteArray::fromHex("03010000"
                              "00");
    for (const int colour : {0, 1}) {
        gif += QByteArray::fromHex("21f904"
                                   "000a00"
                                   "00"
                                   "00"); // 0.1 s per frame
        gif += QByteArray::fromHex("2c"
                                   "0000"
                                   "0000"
                                   "0200"
                                   "0200"
                                   "00");
        // LZW, minimum code size 2: clear (4) before every pixel keeps the
        // codes at 3 bits; end (5) closes the frame.
        const int codes[] = {4, colour, 4, colour, 4, colour, 4, colour, 5};
        QByteArray data;
        unsigned bits = 0;
        int count = 0;
        for (const int c : codes) {
            bits |= unsigned(c) << count;
            count += 3;
            while (count >= 8) {
                data += char(bits & 0xFF);
                bits >>= 8;
                count -= 8;
            }
        }
        if (count > 0)
            data += char(bits & 0xFF);
        gif += char(2);
        gif += char(data.size());
        gif += data;
        gif += char(0);
    }
    gif += char(0x3B);
    return gif;
}

LocalServer::Answer html(const QByteArray &body, int delayMs = 0)
{
    LocalServer::Answer a;
    a.body = "<html><body>" + body + "</body></html>";
    a.delayMs = delayMs;
    return a;
}

LocalServer::Answer image(const QByteArray &bytes)
{
    LocalServer::Answer a;
    a.contentType = "image/gif";
    a.body = bytes;
    return a;
}

QByteArray tian() { return QByteArray("/zici/s?wd=%E5%A4%A9"); }

// Runs a script in the view's page and waits for its result.
QVariant evaluate(QWidget *widget, const QString &script)
{
    auto *view = qobject_cast<QWebEngineView *>(widget);
    if (!view)
        return QVariant();
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant &v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 5000))
        qWarning("script gave no result");
    return result;
}
} // namespace

class ViewerWindow : public QObject
{
    Q_OBJECT
    QWidget *m_owner = nullptr;
    QPointer<frmPlay> m_viewer;
    LocalServer m_server;

    QString base() const { return m_server.base(); }
    void useDictionary(const QString &address)
    {
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), address);
    }
    // The dictionary page requests among those the server saw (the web view
    // may still be fetching pictures and icons of an earlier page).
    QList<QByteArray> dictionaryRequests() const
    {
        QList<QByteArray> targets;
        for (const LocalServer::Request &r : m_server.requests())
            if (r.target.startsWith("/zici/s"))
                targets << r.target;
        return targets;
    }
    // Looks up ch against a dictionary page and returns the request it made.
    QByteArray lookUp(const QString &ch)
    {
        m_server.clear();
        m_viewer->setCharacter(ch);
        m_viewer->Command2_Click();
        return dictionaryRequests().value(0);
    }

private slots:
    void initTestCase()
    {
        ui::installFontSubstitutes();
        m_owner = new QWidget;
        m_owner->resize(900, 700);
        m_owner->show();
    }

    void cleanupTestCase() { delete m_owner; }

    // ---- Without a dictionary (first, so the web view does not exist yet) ----

    void opensBlankWithoutWebView()
    {
        useDictionary(QString());
        m_viewer = new frmPlay(m_owner);
        m_viewer->setAttribute(Qt::WA_DeleteOnClose);
        m_viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_viewer));

        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("播放笔顺"));
        QVERIFY(m_viewer->windowFlags() & Qt::Window);
        QCOMPARE(m_viewer->parentWidget(), m_owner);
        // A dialog of its owner (kept above it by the window manager), centred
        // on it when first shown; shown again, it stays where it is.
        QCOMPARE(m_viewer->windowType(), Qt::Dialog);
        QCOMPARE(m_viewer->windowHandle()->transientParent(), m_owner->windowHandle());
        QVERIFY(m_viewer->windowFlags() & Qt::WindowMaximizeButtonHint);
        const QRect screen = m_viewer->screen()->availableGeometry();
        QRect expected(QPoint(), m_viewer->frameGeometry().size());
        expected.moveCenter(m_owner->frameGeometry().center());
        expected.moveTop(
            std::max(std::min(expected.top(), screen.bottom() - expected.height() + 1), screen.top()));
        QTRY_COMPARE(m_viewer->frameGeometry().topLeft().y(), expected.top());
        QCOMPARE(m_viewer->frameGeometry().center().x(), m_owner->frameGeometry().center().x());
        m_viewer->move(3, 4);
        m_viewer->show();
        QCOMPARE(m_viewer->pos(), QPoint(3, 4));
        QVERIFY(!m_viewer->windowIcon().isNull());
        QCOMPARE(m_viewer->Text1->text(), QStringLiteral("天"));
        QCOMPARE(m_viewer->Command1->text(), QStringLiteral("查看该字详情"));
        QCOMPARE(m_viewer->Command2->text(), QStringLiteral("看笔顺"));
        QVERIFY(m_viewer->strokeViewShown());
        QCOMPARE(m_viewer->currentAddress(), QString());
        QCOMPARE(m_viewer->webView(), nullptr);
    }

    void offlineLookupShowsStrokeView()
    {
        m_viewer->setCharacter(QStringLiteral("天"));
        m_viewer->Command2_Click();
        QCOMPARE(m_viewer->currentAddress(), QString());
        QVERIFY(m_viewer->strokeViewShown());
        QCOMPARE(m_viewer->webView(), nullptr);
        QCOMPARE(m_viewer->Text1->selectedText(), QStringLiteral("天"));
        QCOMPARE(m_viewer->Text1->selectionStart(), 0);
        QCOMPARE(m_viewer->strokeView()->strokeCount(), 4);

        // A letter has no strokes: an empty view, nothing else.
        m_viewer->setCharacter(QStringLiteral("b"));
        m_viewer->Command2_Click();
        QVERIFY(m_viewer->strokeViewShown());
        QCOMPARE(m_viewer->strokeView()->strokeCount(), 0);
        QCOMPARE(m_viewer->Text1->selectedText(), QStringLiteral("b"));

        // No dictionary, no details page: the button is off and does nothing.
        QVERIFY(!m_viewer->Command1->isEnabled());
        m_viewer->Command1_Click();
        QCOMPARE(m_viewer->currentAddress(), QString());
        QVERIFY(!m_viewer->isMaximized());
        QCOMPARE(m_viewer->webView(), nullptr);
    }

    void boxHoldsOneCharacter()
    {
        m_viewer->setCharacter(QStringLiteral("天地"));
        QCOMPARE(m_viewer->Text1->text(), QStringLiteral("天"));
        const QString outside = QString::fromUcs4(U"\U00020000");
        m_viewer->setCharacter(outside + QStringLiteral("x"));
        QCOMPARE(m_viewer->Text1->text(), outside);
        m_viewer->Text1->clear();
        m_viewer->Text1->setFocus();
        for (const QString ch : {QStringLiteral("我"), QStringLiteral("你")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, ch);
            QApplication::sendEvent(m_viewer->Text1, &press);
        }
        QCOMPARE(m_viewer->Text1->text(), QStringLiteral("我"));
    }

    void resizeLayout()
    {
        m_viewer->resize(ui::px(9765), ui::px(10740));
        QCOMPARE(ui::leftOf(m_viewer->Command1), 3615.0f); // half of 9765 - 2535
        QCOMPARE(ui::topOf(m_viewer->Command1), 120.0f);
        QCOMPARE(m_viewer->WebBrowser1->geometry(),
                 QRect(ui::px(45), ui::px(720), ui::px(9675), ui::px(9930)));

        // Narrower than the button: a negative left; the view still follows.
        m_viewer->resize(100, 400);
        QVERIFY(m_viewer->Command1->x() < 0);
        QCOMPARE(ui::leftOf(m_viewer->Command1), ui::twips(ui::px(ui::halfOf(1500 - 2535))));
        QCOMPARE(m_viewer->WebBrowser1->geometry(), QRect(3, 48, 100 - 6, 400 - 48 - 6));

        // Lower than 810 twips: the view keeps its last size, nothing fails.
        m_viewer->resize(400, 50);
        QCOMPARE(m_viewer->WebBrowser1->geometry(), QRect(3, 48, 100 - 6, 400 - 48 - 6));
        QCOMPARE(m_viewer->Command1->x(), ui::px(ui::halfOf(6000 - 2535)));

        m_viewer->resize(ui::px(9765), ui::px(10740));
    }

    // ---- Against the local dictionary ----

    void lookupAddress_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("expected"); // "@" stands for the server's base address
        QTest::newRow("element") << QByteArray(
            "<p>天</p><img id=\"word_bishun\" class=\"bishun\" data-gif=\"@/gif/tian.gif\" src=\"s.png\">")
                                 << QStringLiteral("@/gif/tian.gif");
        QTest::newRow("upper-case tag") << QByteArray("<IMG ID=\"word_bishun\" DATA-GIF=\"@/gif/a.gif\">")
                                        << QStringLiteral("@/gif/a.gif");
        QTest::newRow("split over lines") << QByteArray(
            "<img id=\"word_bishun\"\n  class=\"x\"\r\n  data-gif=\"@/gif/b.gif\"\n  src=\"s\">")
                                          << QStringLiteral("@/gif/b.gif");
        QTest::newRow("no element") << QByteArray("<p>没有</p>") << QString();
        QTest::newRow("id not first")
            << QByteArray("<img class=\"x\" id=\"word_bishun\" data-gif=\"@/gif/c.gif\">") << QString();
        QTest::newRow("relative address") << QByteArray("<img id=\"word_bishun\" data-gif=\"/gif/d.gif\">")
                                          << QStringLiteral("@/gif/d.gif");
        QTest::newRow("local file refused")
            << QByteArray("<img id=\"word_bishun\" data-gif=\"file:///etc/passwd\">") << QString();
        QTest::newRow("script refused")
            << QByteArray("<img id=\"word_bishun\" data-gif=\"javascript:alert(1)\">") << QString();
    }

    void lookupAddress()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, expected);
        useDictionary(base());
        page.replace('@', base().toUtf8());
        expected.replace(QLatin1Char('@'), base());
        m_server.setAnswer("/zici/s", html(page));
        m_server.setAnswer("*", image(animatedGif()));

        QCOMPARE(lookUp(QStringLiteral("天")), tian());
        QCOMPARE(m_viewer->currentAddress(), expected);
        QCOMPARE(m_viewer->webViewShown(), !expected.isEmpty());
        QCOMPARE(m_viewer->strokeViewShown(), expected.isEmpty());
        QCOMPARE(m_viewer->Text1->selectedText(), QStringLiteral("天"));
        QVERIFY(m_viewer->Command1->isEnabled());
    }

    void enterLooksUpAndSelects()
    {
        useDictionary(base());
        m_server.setAnswer("/zici/s", html("<p>没有</p>"));
        m_server.clear();
        m_viewer->setCharacter(QStringLiteral("我"));
        m_viewer->Text1->setFocus();
        QTest::keyClick(m_viewer->Text1, Qt::Key_Return);
        QCOMPARE(dictionaryRequests(), QList<QByteArray> {"/zici/s?wd=%E6%88%91"});
        QCOMPARE(m_viewer->Text1->selectedText(), QStringLiteral("我"));
        QVERIFY(m_viewer->strokeViewShown());

        // Other keys are the box's own.
        m_server.clear();
        QTest::keyClick(m_viewer->Text1, Qt::Key_A);
        QCOMPARE(dictionaryRequests(), QList<QByteArray>());
    }

    void emptyBoxDoesNothing()
    {
        useDictionary(base());
        m_server.setAnswer("/zici/s",
                           html("<img id=\"word_bishun\" data-gif=\"" + base().toUtf8() + "/gif/e.gif\">"));
        lookUp(QStringLiteral("天"));
        const QString before = m_viewer->currentAddress();
        QVERIFY(!before.isEmpty());
        QCOMPARE(lookUp(QString()), QByteArray());
        QCOMPARE(m_viewer->currentAddress(), before);
    }

    void detailsPage()
    {
        useDictionary(base());
        m_server.setAnswer("/zici/s", html("<p>详情</p>"));
        m_viewer->setCharacter(QStringLiteral("天"));
        m_server.clear();
        m_viewer->Command1_Click();
        QCOMPARE(m_viewer->currentAddress(), base() + QString::fromLatin1(tian()));
        QVERIFY(m_viewer->isMaximized());
        QVERIFY(m_viewer->webViewShown());
        QTRY_VERIFY(!dictionaryRequests().isEmpty());
        QCOMPARE(dictionaryRequests(), QList<QByteArray> {tian()});

        // No test for an empty box here: the endpoint with nothing after it.
        m_viewer->setCharacter(QString());
        m_server.clear();
        m_viewer->Command1_Click();
        QCOMPARE(m_viewer->currentAddress(), base() + QStringLiteral("/zici/s?wd="));
        QTRY_VERIFY(!dictionaryRequests().isEmpty());
        QCOMPARE(dictionaryRequests(), QList<QByteArray> {"/zici/s?wd="});
        m_viewer->showNormal();
    }

    void mobilePagesAreCentred_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("align");
        QTest::newRow("mobile") << QByteArray("/") + modPub::dictionaryMobileHost().toUtf8() + "/tian.gif"
                                << QStringLiteral("center");
        QTest::newRow("other") << QByteArray("/plain/tian.gif") << QString();
    }

    void mobilePagesAreCentred()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, align);
        useDictionary(base());
        m_server.setAnswer("/zici/s",
                           html("<img id=\"word_bishun\" data-gif=\"" + base().toUtf8() + path + "\">"));
        m_server.setAnswer(path, image(animatedGif()));
        QVERIFY(m_viewer->webView());
        QSignalSpy done(m_viewer.data(), &frmPlay::documentComplete);
        lookUp(QStringLiteral("天"));
        QCOMPARE(m_viewer->currentAddress(), base() + QString::fromLatin1(path));
        QTRY_VERIFY_WITH_TIMEOUT(
            !done.isEmpty() && done.last().first().toString().endsWith(QString::fromLatin1(path)), 10000);
        QCOMPARE(evaluate(m_viewer->webView(), QStringLiteral("document.body.style.textAlign")).toString(),
                 align);
        // The animation itself arrived and decoded.
        QTRY_COMPARE_WITH_TIMEOUT(
            evaluate(m_viewer->webView(),
                     QStringLiteral("document.images.length ? document.images[0].naturalWidth : -1"))
                .toInt(),
            2, 5000);
    }

    void badAnswersKeepTheViewerUsable()
    {
        useDictionary(base());
        // A GIF that is not a GIF.
        m_server.setAnswer("/zici/s",
                           html("<img id=\"word_bishun\" data-gif=\"" + base().toUtf8() + "/bad/x.gif\">"));
        m_server.setAnswer("/bad/x.gif", image("this is not a picture"));
        QSignalSpy done(m_viewer.data(), &frmPlay::documentComplete);
        lookUp(QStringLiteral("天"));
        QVERIFY(m_viewer->webViewShown());
        QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 10000);

        // An animation that never arrives, then a slow dictionary page.
        LocalServer::Answer never;
        never.never = true;
        m_server.setAnswer("/stuck/x.gif", never);
        m_server.setAnswer("/zici/s",
                           html("<img id=\"word_bishun\" data-gif=\"" + base().toUtf8() + "/stuck/x.gif\">"));
        lookUp(QStringLiteral("天"));
        QCOMPARE(m_viewer->currentAddress(), base() + QStringLiteral("/stuck/x.gif"));
        m_server.setAnswer("/zici/s", html("<p>慢</p>", 300));
        lookUp(QStringLiteral("地"));
        QCOMPARE(m_viewer->currentAddress(), QString());
        QVERIFY(m_viewer->strokeViewShown());

        // No server at all.
        LocalServer gone;
        const QString goneBase = gone.base();
        gone.close();
        useDictionary(goneBase);
        m_viewer->setCharacter(QStringLiteral("天"));
        m_viewer->Command2_Click();
        QCOMPARE(m_viewer->currentAddress(), QString());
        QVERIFY(m_viewer->strokeViewShown());
        QCOMPARE(m_viewer->Text1->selectedText(), QStringLiteral("天"));
    }

    void closedWhileLookingUp()
    {
        // The lookup waits for the page; closing the window meanwhile must not
        // bring the program down.
        useDictionary(base());
        m_server.setAnswer("/zici/s", html("<p>慢</p>", 300));
        QTimer::singleShot(50, m_viewer.data(), [this] {
            m_viewer->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
        m_viewer->setCharacter(QStringLiteral("天"));
        m_viewer->Command2_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QTRY_VERIFY(!m_viewer);
    }
};

int main(int argc, char *argv[])
{
    testsupport::prepareEnvironment();
    QApplication app(argc, argv);
    ViewerWindow tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "viewer_frmplay.moc"
