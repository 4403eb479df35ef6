// The HTTP client module: one GET with a time limit and a size limit.
#include "core/httpclient.h"
#include "core/modpub.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QTimer>
#include <QUrl>

class HttpPlugin : public QObject, public HttpClient
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HttpClient_iid)
    Q_INTERFACES(HttpClient)
public:
    QString getText(const QString &address, int timeoutMs, qint64 maxBytes) override
    {
        const QUrl url(address);
        if (!url.isValid() || url.host().isEmpty()
            || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
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
};

#include "httpplugin.moc"
