// readTextFile on arbitrary bytes: the GBK text with one CR LF dropped, and a
// write by the program reads back as the same text; the same bytes dropped on
// the editor never bring a NUL.
#include "core/bankfile.h"
#include "fuzz/fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Memory-backed when possible: every write is flushed to disk, which
    // would otherwise slow the run down to a crawl.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/lorvanta-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/lorvanta-fuzz-XXXXXX"));
    static const QString path = dir.filePath(modPub::bankFileName());
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "temporary file");
        FUZZ_CHECK(f.write(bytes) == bytes.size(), "temporary file written");
    }
    const QString text = modPub::readTextFile(path);
    // The bank is always GBK.
    const auto minusCrLf = [](QString t) {
        if (t.endsWith(QStringLiteral("\r\n")))
            t.chop(2);
        return t;
    };
    const QString asGbk = minusCrLf(modPub::decodeGbk(bytes));
    FUZZ_CHECK(text == asGbk, "readTextFile is the GBK-decoded file minus one CR LF");
    FUZZ_CHECK(modPub::bankFileNeedsDefault(path) == text.isEmpty(),
               "the default bank is written exactly when the file reads as empty");
    // A file from elsewhere never brings a NUL, and a refused one brings nothing.
    bool binary = false;
    const QString foreign = modPub::decodeForeignText(bytes, &binary);
    FUZZ_CHECK(!foreign.contains(QChar(0)), "no NUL from a dropped file");
    FUZZ_CHECK(!binary || foreign.isEmpty(), "a refused file gives the empty text");

    // Whatever was read, the program's own write must read back unchanged.
    FUZZ_CHECK(modPub::writeTextFile(path, text, true), "writeTextFile");
    FUZZ_CHECK(modPub::readTextFile(path) == text, "written text reads back unchanged");

    // The same for a bank as the program writes it: characters from the
    // common CJK block, pinyin letters and spaces, picked by the input.
    static const QString pinyin = QStringLiteral("ɑɡüāáǎàōóǒòēéěèīíǐìūúǔùǖǘǚǜbmnzhi");
    QString bank;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const unsigned v = data[i] | (data[i + 1] << 8);
        if (v % 7 == 0)
            bank += QLatin1Char(' ');
        else if (v % 7 == 1)
            bank += pinyin.at(static_cast<qsizetype>((v / 7) % pinyin.size()));
        else
            bank += QChar(static_cast<char16_t>(0x4E00 + (v / 7) % (0x9FA5 - 0x4E00 + 1)));
    }
    FUZZ_CHECK(modPub::writeTextFile(path, bank, true), "writeTextFile of a bank");
    const QString back = modPub::readTextFile(path);
    if (back != bank)
        std::fprintf(stderr, "bank written: %s\nread back:    %s\n", qPrintable(bank.left(80)),
                     qPrintable(back.left(80)));
    FUZZ_CHECK(back == bank, "a bank the program wrote reads back unchanged");
    return 0;
}
