// modPub: the program's shared procedures. No widgets here, so everything
// builds and is tested without a display.
#pragma once

#include "core/version.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <random>
#include <utility>

namespace modPub {

// ---- Version -------------------------------------------------------------
constexpr int versionMajor = LORVANTA_VERSION_MAJOR;
constexpr int versionMinor = LORVANTA_VERSION_MINOR;
// "Lorvanta V" + major + "." + minor: the practice window's caption and the About window's title line.
QString programTitle();
// Title of every message box.
inline QString appTitle() { return QStringLiteral("Lorvanta"); }

// ---- Paths and the bank file ---------------------------------------------
// Folder of the executable, always ending in "/".
QString appDir();
// Folder that holds the bank: appDir() for a portable copy whose folder can be
// written, the per-user data folder for an installed or read-only copy.
QString bankDir();
// bankDir() + "配置文件.txt".
QString bankPath();
// The bank's file name.
inline QString bankFileName() { return QStringLiteral("配置文件.txt"); }
// Overrides the folder of the bank (the benchmark and the tests use a temporary folder).
void setBankDirOverride(const QString &dir);

// The whole text of a GBK file, one trailing CR LF dropped; the empty text on
// any failure (missing, unreadable, too large, or not a regular file: a
// folder, FIFO, socket or device, also behind a symbolic link).
QString readTextFile(const QString &path);
// The same, but nothing at all when the file cannot be read (missing,
// unreadable, too large, not a regular file), so that a caller can tell that
// from a file that holds no text.
std::optional<QString> tryReadTextFile(const QString &path);
// Like readTextFile for a text file from elsewhere (dropped on the editor):
// decoded by its byte-order mark (UTF-8, UTF-16 or UTF-32, little or big
// endian) when it has one, else UTF-8 when the file is UTF-8, GBK otherwise.
// A file that is no text (NUL characters, or mostly characters no text
// holds) gives the empty text and, when asked, *binary = true.
QString readForeignTextFile(const QString &path, bool *binary = nullptr);
// The decoding of readForeignTextFile applied to bytes already read.
QString decodeForeignText(const QByteArray &bytes, bool *binary = nullptr);
// Writes text + CR LF in GBK. Overwriting replaces the file atomically, so a
// crash mid-write or a full disk leaves the old bank. Only a regular file (or
// a new one) is written. Returns false on any failure.
bool writeTextFile(const QString &path, const QString &text, bool overwrite);
// True when the start-up may write the default bank: the file is missing or
// holds nothing (zero bytes or only CR LF). An unreadable file, or anything
// that is not a regular file, is left alone.
bool bankFileNeedsDefault(const QString &path);
// The 24 toned vowels.
QString defaultBank();
// Files larger than this are treated as unreadable rather than loaded; the
// limit holds for the bytes read, whatever size the file claims.
constexpr qint64 maxTextFileSize = 128LL * 1024 * 1024;

// GBK text conversion (GB18030 underneath: byte-identical for GBK text and
// able to carry every character, so nothing turns into "?"). A half character
// at the end decodes to U+FFFD like any other bad byte.
QString decodeGbk(const QByteArray &bytes);
QByteArray encodeGbk(const QString &text);

// ---- Text and list utilities ---------------------------------------------
// "[\s,，.。　]+": white space, commas, full stops, ideographic space.
QString itemSeparatorPattern();
QString regexReplace(const QString &text, const QString &pattern, const QString &replacement);
bool regexTest(const QString &text, const QString &pattern);
QString regexFirstGroup(const QString &text, const QString &pattern);
// Whether a pattern (in the program's \uXXXX notation) is usable by the engine.
bool regexIsValid(const QString &pattern);
QString shuffleItems(const QString &text);
// The same with a random source of the caller's (a copy of shuffleGenerator()
// gives the same shuffle on another thread).
QString shuffleItems(const QString &text, std::mt19937 &rng);
// The one random source of shuffleItems; seeding it makes shuffles repeatable (tests).
std::mt19937 &shuffleGenerator();
void seedShuffle(quint32 seed);
QString normalizeItems(const QString &text);
// The first character of a text; a surrogate pair stays whole.
QString firstCodePoint(const QString &text);
// g -> ɡ, then a -> ɑ (lower-case ASCII only).
QString normalizeLetters(const QString &text);

// ---- URL encoding and the online lookup ----------------------------------
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

// ---- Service addresses (settings store, section "services") ---------------
// The address trimmed when it is http or https with a host; anything else (a
// local file, data:, no host) is empty, as if no service were configured.
QString serviceAddress(const QString &text);
// Text-to-speech endpoint, ending in "/"; empty when not configured.
QString ttsEndpoint();
// Dictionary base address, scheme and host; empty when not configured.
QString dictionaryBase();
// Dictionary page endpoint: dictionaryBase() + "/zici/s?wd=".
QString dictionaryPageEndpoint();
// Host name of the dictionary's mobile pages; their animations get centred.
inline QString dictionaryMobileHost() { return QStringLiteral("m.dict.example"); }

// ---- Settings store ------------------------------------------------------
// Text value of application "LORVANTA", section, key; empty when missing.
QString getSetting(const QString &section, const QString &key);
// Writes the values of one section together. Never waits for the store's
// lock longer than settingsLockWaitMs: false, and nothing written, when the
// store cannot be locked (a folder where its lock file goes, a writer that
// hangs) or written.
bool saveSettings(const QString &section, const QList<std::pair<QString, QString>> &values);
bool saveSetting(const QString &section, const QString &key, const QString &value);
constexpr int settingsLockWaitMs = 500;

} // namespace modPub
