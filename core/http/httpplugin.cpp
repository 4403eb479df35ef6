// The HTTP client module: GET with a time limit and a size limit, waiting
// for the answer or not.
#include "core/httpclient.h"
#include "core/network.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace {
// An address that is not fetched: the empty answer, unless deleted first.
class RefusedCall : public HttpCall
{
public:
    ~RefusedCall() override { *alive = false; }
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

// One request that does not wait. Its answer goes to the caller through the
// caller's event loop, so that the caller may delete the call right there.
class AsyncCall : public QObject, public HttpCall
{
public:
    AsyncCall(QNetworkReply *reply, int timeoutMs, qint64 maxBytes, QObject *context,
              std::function<void(const HttpAnswer &)> done)
        : m_reply(reply), m_maxBytes(maxBytes), m_context(context), m_done(std::move(done))
    {
        connect(reply, &QNetworkReply::finished, this, [this] {
            HttpAnswer answer;
            answer.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            answer.contentType = m_reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
            if (m_reply->error() == QNetworkReply::NoError && !m_tooLarge)
                answer.body = m_reply->readAll();
            finish(answer);
        });
        connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
            if (received > m_maxBytes) {
                m_tooLarge = true;
                m_reply->abort(); // finished follows at once, without a body
            }
        });
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            HttpAnswer answer;
            answer.timedOut = true;
            finish(answer);
        });
        m_deadline.start(timeoutMs);
    }

    ~AsyncCall() override
    {
        *m_alive = false;
        drop();
    }

private:
    void drop()
    {
        m_deadline.stop();
        if (QNetworkReply *reply = std::exchange(m_reply, nullptr)) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
    }

    void finish(const HttpAnswer &answer)
    {
        drop();
        if (!m_context)
            return;
        QMetaObject::invokeMethod(
            m_context.data(),
            [done = std::move(m_done), alive = m_alive, answer] {
                if (*alive)
                    done(answer);
            },
            Qt::QueuedConnection);
    }

    QNetworkReply *m_reply;
    qint64 m_maxBytes;
    QPointer<QObject> m_context;
    std::function<void(const HttpAnswer &)> m_done;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    QTimer m_deadline;
    bool m_tooLarge = false;
};
} // namespace

class HttpPlugin : public QObject, public HttpClient
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HttpClient_iid)
    Q_INTERFACES(HttpClient)
public:
    QString getText(const QString &address, int timeoutMs, qint64 maxBytes) override
    {
        const QUrl url(address);
        if (!modPub::isWebAddress(url))
            return QString();

        QNetworkAccessManager manager;
        QNetworkRequest request(url);
        request.setRawHeader("If-Modified-Since", "0");
        request.setTransferTimeout(timeoutMs);
        QNetworkReply *reply = manager.get(request);

        // The caller waits for the answer as for a blocking request; the window
        // takes no input meanwhile, and a dead server cannot hold it for ever.
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
        // The reply keeps the whole body in memory: a page larger than any
        // dictionary page (or one that never ends) is dropped as soon as it says
        // or shows so.
        bool tooLarge = false;
        const auto checkSize = [reply, &tooLarge, maxBytes] {
            const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
            if (reply->bytesAvailable() > maxBytes
                || (declared.isValid() && declared.toLongLong() > maxBytes)) {
                tooLarge = true;
                reply->abort();
            }
        };
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, checkSize);
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, checkSize);
        deadline.start(timeoutMs);
        if (!reply->isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);

        // No status code is looked at: an error page is decoded like any page.
        // Only a request that never got an answer, or a page too large, gives the
        // empty text.
        QString text;
        const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        if (answered && !tooLarge && reply->bytesAvailable() <= maxBytes)
            text = modPub::bytesToText(reply->readAll(), QStringLiteral("UTF-8"));
        reply->deleteLater();
        return text;
    }

    std::unique_ptr<HttpCall> get(const QString &address, int timeoutMs, qint64 maxBytes, QObject *context,
                                  std::function<void(const HttpAnswer &)> done) override
    {
        const QUrl url(address);
        if (!modPub::isWebAddress(url)) {
            auto refused = std::make_unique<RefusedCall>();
            QMetaObject::invokeMethod(
                context,
                [done = std::move(done), alive = refused->alive] {
                    if (*alive)
                        done(HttpAnswer());
                },
                Qt::QueuedConnection);
            return refused;
        }
        // One manager for every such request: its connections to a server
        // are kept for the next one. It ends with the application, while this
        // module is still loaded: the plugin object itself is never deleted,
        // and a manager left behind keeps its sockets and threads past exit.
        if (!m_manager) {
            QObject *app = QCoreApplication::instance();
            m_manager
                = new QNetworkAccessManager(app && app->thread() == QThread::currentThread() ? app : this);
        }
        return std::make_unique<AsyncCall>(m_manager->get(QNetworkRequest(url)), timeoutMs, maxBytes, context,
                                           std::move(done));
    }

private:
    QPointer<QNetworkAccessManager> m_manager;
};

#include "httpplugin.moc"
