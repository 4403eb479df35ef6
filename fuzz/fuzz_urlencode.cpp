// urlEncode: plain ASCII out; for text of the Basic Multilingual Plane without
// surrogates, percent-decoding and UTF-8 decoding give the input back.
// ASCII passes through unencoded by design, so a literal "%" in the input
// would be ambiguous and is replaced before the round trip.
#include "core/network.h"
#include "fuzz/fuzzcheck.h"

#include <QStringDecoder>

namespace {
int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QByteArray percentDecode(const QString &s)
{
    QByteArray out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) == QLatin1Char('%')) {
            const int hi = i + 1 < s.size() ? hexValue(s.at(i + 1)) : -1;
            const int lo = i + 2 < s.size() ? hexValue(s.at(i + 2)) : -1;
            FUZZ_CHECK(hi >= 0 && lo >= 0, "two capital hex digits after %");
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += static_cast<char>(s.at(i).unicode());
        }
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString raw = fuzz::utf16(data, size);
    const QString encodedRaw = modPub::urlEncode(raw);
    qsizetype expectedLength = 0;
    for (const QChar c : raw)
        expectedLength += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 6 : 9;
    FUZZ_CHECK(encodedRaw.size() == expectedLength, "one, two or three escaped bytes per code unit");
    for (const QChar c : encodedRaw)
        FUZZ_CHECK(c.unicode() < 0x80, "plain ASCII");

    QString bmp = raw;
    for (QChar &c : bmp) {
        if (c.isSurrogate())
            c = QChar(0xFFFD);
        else if (c == QLatin1Char('%'))
            c = QLatin1Char('_');
    }
    const QByteArray bytes = percentDecode(modPub::urlEncode(bmp));
    FUZZ_CHECK(bytes == bmp.toUtf8(), "the escapes are the UTF-8 bytes");
    // A leading U+FEFF is text here, not a byte-order mark.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString back = utf8.decode(bytes);
    FUZZ_CHECK(!utf8.hasError() && back == bmp, "decodes back to the input");
    return 0;
}
