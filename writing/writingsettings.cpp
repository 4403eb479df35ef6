#include "writing/writingsettings.h"

#include "core/settings.h"

namespace {
const QString kSection = QStringLiteral("writing");
const QString kStrictness = QStringLiteral("strictness");
const QString kMode = QStringLiteral("mode");
const QString kMisses = QStringLiteral("misses");

// Stored as words, so that the file reads plainly and an edit by hand that
// goes wrong is recognised. 看 is no mode to open in: it is not stored.
const char *const kStrictnessValues[] = {"loose", "normal", "strict"};
const char *const kModeValues[] = {"trace", "write"};

template <size_t N> int indexOf(const char *const (&values)[N], const QString &value, int fallback)
{
    const QString v = value.trimmed().toLower();
    for (size_t i = 0; i < N; ++i)
        if (v == QLatin1String(values[i]))
            return int(i);
    return fallback;
}
} // namespace

WritingSettings WritingSettings::load()
{
    WritingSettings s;
    s.strictness = strokecheck::Strictness(
        indexOf(kStrictnessValues, modPub::getSetting(kSection, kStrictness), int(s.strictness)));
    s.mode = Mode(indexOf(kModeValues, modPub::getSetting(kSection, kMode), int(s.mode)));
    bool ok = false;
    const int misses = modPub::getSetting(kSection, kMisses).trimmed().toInt(&ok);
    if (ok && misses >= writingcourse::Course::kLeastMisses && misses <= writingcourse::Course::kMostMisses)
        s.missesForDrawing = misses;
    return s;
}

bool WritingSettings::save() const
{
    // One write, as every section is saved: never two waits for a stuck lock.
    const Mode stored = mode == Mode::Watch ? Mode::Trace : mode;
    return modPub::saveSettings(kSection,
                                {{kStrictness, QLatin1String(kStrictnessValues[int(strictness)])},
                                 {kMode, QLatin1String(kModeValues[int(stored)])},
                                 {kMisses, QString::number(missesForDrawing)}});
}
