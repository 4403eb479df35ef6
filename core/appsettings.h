// The settings store in typed sections. Each section is one struct with its
// defaults, load() reading it and save() writing it whole, never waiting long
// for the store's lock; save() gives why it failed, empty when it did not.
// Keys, types, defaults and ranges are the table of core/settingkeys.h, read
// and written by its one parser and writer. The store itself is QSettings,
// application "LORVANTA", every value text.
//
// A new section: its keys in the table, a struct here with load() and save(),
// its edges in tests/core_settings.cpp. A section made of a higher layer's
// types has the same shape beside them (dictation::Settings, WritingSettings).
#pragma once

#include "core/settingkeys.h"

#include <QString>

namespace appsettings {

// A check box as the store keeps it: "0" unticked, "1" ticked, "2" greyed.
enum class Tick { Unticked, Ticked, Greyed };

// Section "main": the practice window's interval and its two check boxes.
struct MainSection {
    // "jiange", the interval box's text as it was typed (possibly empty,
    // possibly above 60); the box filters what it is given. Empty when missing.
    QString interval;
    // "dalu" and "langdu"; anything but 1 or 2 (as an integer, spaces
    // around allowed) is unticked. The window reads them only when the
    // interval box holds something.
    Tick shuffle = Tick(settingkeys::mainShuffle.fallback);
    Tick readAloud = Tick(settingkeys::mainReadAloud.fallback);

    static MainSection load();
    // Empty when saved; otherwise why not, in Chinese (nothing written then).
    QString save() const;
};

// Section "services": the online services. The program only reads them.
struct ServicesSection {
    // "tts": the text-to-speech endpoint, ending in "/".
    QString tts;
    // "dictionary": scheme and host, no trailing "/".
    // Each empty when not configured, or when it is not an http or https
    // address with a host (a local file, data:, no host ...).
    QString dictionary;

    static ServicesSection load();
};

// Section "sheet": the copybook's options, as the copybook dialog left them.
enum class Paper { A4, Letter };
enum class CellSize { Small, Medium, Large };
struct SheetSection {
    Paper paper = Paper(settingkeys::sheetPaper.fallback); // "paper": "A4" or "Letter"
    CellSize cellSize = CellSize(settingkeys::sheetCell.fallback); // "cell": "small", "medium" or "large"
    // "rows": rows per item, 1 to 3 (a number beyond is brought into it).
    int rowsPerItem = settingkeys::sheetRows.fallback;
    // "copies": tracing copies, "all" (or any negative number) for a full row:
    // -1. The copybook brings it down to what its row holds.
    int tracingCopies = settingkeys::sheetCopies.fallback;
    bool strokeOrder = settingkeys::sheetStrokes.fallback; // "strokes": "1" or "0"
    bool heading = settingkeys::sheetHeading.fallback; // "heading": "1" or "0"
    bool onlyShownItem = settingkeys::sheetItems.fallback; // "items": "shown" or "bank"

    static SheetSection load();
    QString save() const;
};

} // namespace appsettings
