// modPub: the settings store and the service addresses kept in it.
#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace modPub {

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
// hangs) or written, or when the store is not the program's to write (a
// link to the bank, a file of another user, a FIFO: one line on standard
// error says so, and the values of the run stay in memory); *why then says
// why, in Chinese. A store that is no regular file is read as missing.
bool saveSettings(const QString &section, const QList<std::pair<QString, QString>> &values,
                  QString *why = nullptr);
bool saveSetting(const QString &section, const QString &key, const QString &value);
constexpr int settingsLockWaitMs = 500;

} // namespace modPub
