// URL encoding, HTTP and the stroke-order lookup.
#include "core/network.h"

#include "core/httpclient.h"
#include "core/modules.h"
#include "core/settings.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace modPub {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

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
    HttpClient *client = modules::get<HttpClient>();
    return client ? client->getText(address, httpTimeoutMs, httpMaxPageBytes) : QString();
}

QString strokeOrderUrlFromPage(const QString &page)
{
    // Global, IgnoreCase and MultiLine all on, as regexTest sets them; only
    // the first match matters.
    static const QString pattern = QStringLiteral("<img id=\"word_bishun\"[^>]*?gif=\"(.*?)\"[^>]*?>");
    const QRegularExpression re(
        pattern, QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
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
