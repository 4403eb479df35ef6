// modPub: URL encoding, the HTTP request (made by a module) and the online
// stroke-order lookup.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QUrl;

namespace modPub {

// A web address the program may fetch or show: http or https, with a host.
// Anything else (a local file, data:, javascript:, no host) is no service.
bool isWebAddress(const QUrl &url);

QString urlEncode(const QString &value);
QString bytesToText(const QByteArray &bytes, const QString &charset);
// GET with "If-Modified-Since: 0"; the body as UTF-8 whatever the status.
// The empty text when the request cannot be made, takes longer than the time
// limit or brings more than httpMaxPageBytes (no dictionary page is that large).
QString httpGetText(const QString &address);
constexpr int httpTimeoutMs = 10000;
constexpr qint64 httpMaxPageBytes = 4LL * 1024 * 1024;
QString getStrokeOrderUrl(const QString &character);
// The stroke-order pattern applied to a page already fetched.
QString strokeOrderUrlFromPage(const QString &page);

} // namespace modPub
