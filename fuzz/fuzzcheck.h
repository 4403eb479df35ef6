// Shared by the fuzz targets: input decoding and a check that stops the run
// with a message (libFuzzer then saves the input).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond, what)                                                                               \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", what, __FILE__, __LINE__);                 \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

namespace fuzz {
// Bytes as UTF-8 text (bad sequences become U+FFFD).
inline QString utf8(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// Bytes as raw UTF-16 code units, lone surrogates included.
inline QString utf16(const uint8_t *data, size_t size)
{
    QString s;
    s.reserve(static_cast<qsizetype>(size / 2));
    for (size_t i = 0; i + 1 < size; i += 2)
        s += QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    return s;
}

inline QString toDebug(const QString &s) { return s.left(200); }
} // namespace fuzz
