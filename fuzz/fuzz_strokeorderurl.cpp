// The stroke-order address picked out of an arbitrary page: no crash, and a
// found address is the quoted gif value of the page's word_bishun image.
#include "core/network.h"
#include "fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString page = fuzz::utf8(data, size);
    const QString url = modPub::strokeOrderUrlFromPage(page);
    if (url.isEmpty())
        return 0;
    FUZZ_CHECK(!url.contains(QLatin1Char('"')), "the address stops at the closing quote");
    FUZZ_CHECK(!url.contains(QLatin1Char('\n')), "the address lies on one line");
    FUZZ_CHECK(page.contains(QStringLiteral("<img id=\"word_bishun\""), Qt::CaseInsensitive),
               "the image tag");
    FUZZ_CHECK(page.contains(QStringLiteral("gif=\"") + url + QLatin1Char('"'), Qt::CaseInsensitive),
               "the gif attribute's value");
    return 0;
}
