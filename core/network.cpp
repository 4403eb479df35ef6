// URL encoding, HTTP, the stroke-order lookup and the settings store.
#include "core/modpub.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

namespace modPub {

QString urlEncode(const QString &value)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(value.size() * 9);
    const auto put = [&out](unsigned n) {
        out += QLatin1Char('%');
        out += QLatin1Char(hexDigits[(n >> 4) & 0xF]);
        out += QLatin1Char(hexDigits[n & 0xF]);
    };
    // Code unit by code unit: a surrogate half is encoded on its own, three bytes each.
    for (const QChar ch : value) {
        const unsigned u = ch.unicode();
        if (u < 0x80) {
            out += ch;
        } else if (u < 0x800) {
            put(0xC0 + u / 64);
            put(0x80 + u % 64);
        } else {
            put(0xE0 + u / 4096);
            put(0x80 + (u / 64) % 64);
            put(0x80 + u % 64);
        }
    }
    return out;
}

QString bytesToText(const QByteArray &bytes, const QString &charset)
{
    QStringDecoder decoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        return QString();
    return decoder.decode(bytes);
}

QString httpGetText(const QString &address)
{
    const QUrl url(address);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return QString();

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setRawHeader("If-Modified-Since", "0");
    request.setTransferTimeout(httpTimeoutMs);
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
    const auto checkSize = [reply, &tooLarge] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply->bytesAvailable() > httpMaxPageBytes
            || (declared.isValid() && declared.toLongLong() > httpMaxPageBytes)) {
            tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, checkSize);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, checkSize);
    deadline.start(httpTimeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    // No status code is looked at: an error page is decoded like any page.
    // Only a request that never got an answer, or a page too large, gives the
    // empty text.
    QString text;
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (answered && !tooLarge && reply->bytesAvailable() <= httpMaxPageBytes)
        text = bytesToText(reply->readAll(), QStringLiteral("UTF-8"));
    reply->deleteLater();
    return text;
}

QString strokeOrderUrlFromPage(const QString &page)
{
    // Global, IgnoreCase and MultiLine all on, as regexTest sets them; only
    // the first match matters.
    static const QString pattern = QStringLiteral("<img id=\"word_bishun\"[^>]*?gif=\"(.*?)\"[^>]*?>");
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(page);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString getStrokeOrderUrl(const QString &character)
{
    const QString base = dictionaryBase();
    if (base.isEmpty())
        return QString();
    return strokeOrderUrlFromPage(httpGetText(dictionaryPageEndpoint() + urlEncode(character)));
}


} // namespace modPub
