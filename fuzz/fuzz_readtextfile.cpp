// readTextFile on arbitrary bytes: the GBK text with one CR LF dropped, and a
// write by the program reads back as the same text.
#include "core/modpub.h"
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
    QString expected = modPub::decodeGbk(bytes);
    if (expected.endsWith(QStringLiteral("\r\n")))
        expected.chop(2);
    FUZZ_CHECK(text == expected, "readTextFile is the decoded file minus one CR LF");
    FUZZ_CHECK(modPub::bankFileNeedsDefault(path) == text.isEmpty(),
               "the default bank is written exactly when the file reads as empty");

    FUZZ_CHECK(modPub::writeTextFile(path, text, true), "writeTextFile");
    FUZZ_CHECK(modPub::readTextFile(path) == text, "written text reads back unchanged");
    const QByteArray written = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    FUZZ_CHECK(written.endsWith("\r\n"), "every write ends in CR LF");
    return 0;
}
