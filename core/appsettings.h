// The settings store in typed sections. Each section is one struct with its
// defaults, load() reading it (a missing, damaged or out-of-range value
// gives the default or what the window makes of it, as stated per field) and
// save() writing it whole, never waiting long for the store's lock. The
// store itself is QSettings, application "LORVANTA", every value text.
//
// A new section: a struct here with load() and save(), its keys and text
// forms in appsettings.cpp, its edges in tests/core_settings.cpp. A section
// made of a higher layer's types has the same shape beside them
// (dictation::Settings, WritingSettings).
#pragma once

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
    Tick shuffle = Tick::Unticked;
    Tick readAloud = Tick::Unticked;

    static MainSection load();
    // False when the store could not be locked or written (nothing written
    // then); *why says why, in Chinese.
    bool save(QString *why = nullptr) const;
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
    Paper paper = Paper::A4; // "paper": "A4" or "Letter"
    CellSize cellSize = CellSize::Medium; // "cell": "small", "medium" or "large"
    // "rows": rows per item, as stored when it is an integer (the copybook
    // clamps it to what its pages hold).
    int rowsPerItem = 1;
    // "copies": tracing copies, "all" (or any negative number) for a full row: -1.
    int tracingCopies = -1;
    bool strokeOrder = true; // "strokes": "1" or "0"
    bool heading = true; // "heading": "1" or "0"
    bool onlyShownItem = false; // "items": "shown" or "bank"

    static SheetSection load();
    bool save() const;
};

} // namespace appsettings
