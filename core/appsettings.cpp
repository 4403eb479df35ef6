#include "core/appsettings.h"

#include "core/settingkeys.h"

namespace appsettings {
namespace sk = settingkeys;

MainSection MainSection::load()
{
    MainSection s;
    s.interval = sk::readText(sk::mainInterval);
    s.shuffle = Tick(sk::read(sk::mainShuffle));
    s.readAloud = Tick(sk::read(sk::mainReadAloud));
    return s;
}

QString MainSection::save() const
{
    return sk::save(
        {{sk::mainInterval, interval}, {sk::mainShuffle, int(shuffle)}, {sk::mainReadAloud, int(readAloud)}});
}

ServicesSection ServicesSection::load()
{
    ServicesSection s;
    s.tts = sk::readText(sk::servicesTts);
    s.dictionary = sk::readText(sk::servicesDictionary);
    while (s.dictionary.endsWith(QLatin1Char('/')))
        s.dictionary.chop(1);
    return s;
}

SheetSection SheetSection::load()
{
    SheetSection s;
    s.paper = Paper(sk::read(sk::sheetPaper));
    s.cellSize = CellSize(sk::read(sk::sheetCell));
    s.rowsPerItem = sk::read(sk::sheetRows);
    s.tracingCopies = sk::read(sk::sheetCopies);
    s.strokeOrder = sk::read(sk::sheetStrokes);
    s.heading = sk::read(sk::sheetHeading);
    s.onlyShownItem = sk::read(sk::sheetItems);
    return s;
}

QString SheetSection::save() const
{
    return sk::save({{sk::sheetPaper, int(paper)},
                     {sk::sheetCell, int(cellSize)},
                     {sk::sheetRows, rowsPerItem},
                     {sk::sheetCopies, tracingCopies},
                     {sk::sheetStrokes, int(strokeOrder)},
                     {sk::sheetHeading, int(heading)},
                     {sk::sheetItems, int(onlyShownItem)}});
}

} // namespace appsettings
