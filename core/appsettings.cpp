#include "core/appsettings.h"

#include "core/settings.h"

namespace appsettings {
namespace {
const QString mainSection = QStringLiteral("main");
const QString servicesSection = QStringLiteral("services");
const QString sheetSection = QStringLiteral("sheet");

Tick tickFrom(const QString &stored)
{
    bool ok = false;
    const int v = stored.trimmed().toInt(&ok);
    if (ok && v == 1)
        return Tick::Ticked;
    if (ok && v == 2)
        return Tick::Greyed;
    return Tick::Unticked;
}

QString tickText(Tick tick)
{
    switch (tick) {
    case Tick::Ticked: return QStringLiteral("1");
    case Tick::Greyed: return QStringLiteral("2");
    default: return QStringLiteral("0");
    }
}

bool flagFrom(const QString &stored, bool fallback)
{
    if (stored == QLatin1String("1"))
        return true;
    if (stored == QLatin1String("0"))
        return false;
    return fallback;
}

QString flagText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

int intFrom(const QString &stored, int fallback)
{
    bool ok = false;
    const int v = stored.toInt(&ok);
    return ok ? v : fallback;
}
} // namespace

MainSection MainSection::load()
{
    const auto get = [](const char *key) { return modPub::getSetting(mainSection, QLatin1String(key)); };
    MainSection s;
    s.interval = get("jiange");
    s.shuffle = tickFrom(get("dalu"));
    s.readAloud = tickFrom(get("langdu"));
    return s;
}

bool MainSection::save(QString *why) const
{
    return modPub::saveSettings(mainSection,
                                {{QStringLiteral("jiange"), interval},
                                 {QStringLiteral("dalu"), tickText(shuffle)},
                                 {QStringLiteral("langdu"), tickText(readAloud)}},
                                why);
}

ServicesSection ServicesSection::load()
{
    ServicesSection s;
    s.tts = modPub::serviceAddress(modPub::getSetting(servicesSection, QStringLiteral("tts")));
    s.dictionary = modPub::serviceAddress(modPub::getSetting(servicesSection, QStringLiteral("dictionary")));
    while (s.dictionary.endsWith(QLatin1Char('/')))
        s.dictionary.chop(1);
    return s;
}

SheetSection SheetSection::load()
{
    const auto get = [](const char *key) { return modPub::getSetting(sheetSection, QLatin1String(key)); };
    SheetSection s;
    if (get("paper") == QLatin1String("Letter"))
        s.paper = Paper::Letter;
    const QString cell = get("cell");
    if (cell == QLatin1String("small"))
        s.cellSize = CellSize::Small;
    else if (cell == QLatin1String("large"))
        s.cellSize = CellSize::Large;
    s.rowsPerItem = intFrom(get("rows"), s.rowsPerItem);
    const QString copies = get("copies");
    if (copies != QLatin1String("all"))
        s.tracingCopies = intFrom(copies, s.tracingCopies);
    if (s.tracingCopies < 0)
        s.tracingCopies = -1;
    s.strokeOrder = flagFrom(get("strokes"), s.strokeOrder);
    s.heading = flagFrom(get("heading"), s.heading);
    s.onlyShownItem = get("items") == QLatin1String("shown");
    return s;
}

bool SheetSection::save() const
{
    const QString cell = cellSize == CellSize::Small ? QStringLiteral("small")
        : cellSize == CellSize::Large                ? QStringLiteral("large")
                                                     : QStringLiteral("medium");
    return modPub::saveSettings(
        sheetSection,
        {{QStringLiteral("paper"), paper == Paper::Letter ? QStringLiteral("Letter") : QStringLiteral("A4")},
         {QStringLiteral("cell"), cell},
         {QStringLiteral("rows"), QString::number(rowsPerItem)},
         {QStringLiteral("copies"),
          tracingCopies == -1 ? QStringLiteral("all") : QString::number(tracingCopies)},
         {QStringLiteral("strokes"), flagText(strokeOrder)},
         {QStringLiteral("heading"), flagText(heading)},
         {QStringLiteral("items"), onlyShownItem ? QStringLiteral("shown") : QStringLiteral("bank")}});
}

} // namespace appsettings
