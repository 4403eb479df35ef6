// Every key of the settings store in one table: its section, its type, its
// default and what is accepted. Every section reads its values with read()
// (or parse(), given the stored text) and writes them with save(), so a value
// typed by hand is trimmed, checked and given its default the same way
// wherever it is kept.
#pragma once

#include <QList>
#include <QString>

#include <array>
#include <utility>

namespace settingkeys {

enum class Type {
    Text, // kept as it was stored (the practice window's interval box filters it)
    Address, // an http or https address with a host, trimmed; anything else is empty
    Integer, // a whole number from low to high (spaces around allowed)
    Flag, // "1" or "0"
    Word, // one of words, case aside; the value is its index
};

struct Key {
    const char *section;
    const char *name;
    Type type;
    int fallback = 0; // Integer and Flag: the value; Word: the index
    int low = 0;
    int high = 0;
    std::array<const char *, 3> words {};
    // Integer: a number out of range is brought into it instead of giving
    // the default (the copybook's rows, its copies).
    bool clamped = false;
    // Integer: this word stands for low and is written for it ("all" copies
    // for a full row).
    const char *lowWord = nullptr;
};

// Rows: {section, name, type, default, low, high, words, clamped, lowWord}.
// ---- "main": the practice window
inline constexpr Key mainInterval {"main", "jiange", Type::Text};
// A check box: 0 unticked, 1 ticked, 2 greyed; anything else is unticked.
inline constexpr Key mainShuffle {"main", "dalu", Type::Integer, 0, 0, 2};
inline constexpr Key mainReadAloud {"main", "langdu", Type::Integer, 0, 0, 2};
// ---- "services": read only
inline constexpr Key servicesTts {"services", "tts", Type::Address};
inline constexpr Key servicesDictionary {"services", "dictionary", Type::Address};
// ---- "sheet": the copybook
inline constexpr Key sheetPaper {"sheet", "paper", Type::Word, 0, 0, 0, {"A4", "Letter"}};
inline constexpr Key sheetCell {"sheet", "cell", Type::Word, 1, 0, 0, {"small", "medium", "large"}};
inline constexpr Key sheetRows {"sheet", "rows", Type::Integer, 1, 1, 3, {}, true};
// The copybook brings the copies down to what its row holds.
inline constexpr Key sheetCopies {"sheet", "copies", Type::Integer, -1, -1, 99, {}, true, "all"};
inline constexpr Key sheetStrokes {"sheet", "strokes", Type::Flag, 1};
inline constexpr Key sheetHeading {"sheet", "heading", Type::Flag, 1};
inline constexpr Key sheetItems {"sheet", "items", Type::Word, 0, 0, 0, {"bank", "shown"}};
// ---- "dictation"
inline constexpr Key dictationOrder {"dictation", "order", Type::Integer, 0, 0, 4};
inline constexpr Key dictationRepeats {"dictation", "repeats", Type::Integer, 2, 1, 3};
// Readings closer than a second run into one sound.
inline constexpr Key dictationPause {"dictation", "pause", Type::Integer, 2, 1, 30};
inline constexpr Key dictationWrite {"dictation", "write", Type::Integer, 8, 1, 300};
inline constexpr Key dictationManual {"dictation", "manual", Type::Flag, 0};
inline constexpr Key dictationPinyin {"dictation", "pinyin", Type::Flag, 1};
inline constexpr Key dictationWords {"dictation", "words", Type::Integer, 1, 0, 2};
inline constexpr Key dictationLast {"dictation", "last", Type::Integer, 10, 1, 999};
inline constexpr Key dictationMastered {"dictation", "mastered", Type::Integer, 3, 2, 5};
// ---- "writing"
inline constexpr Key writingStrictness {
    "writing", "strictness", Type::Word, 1, 0, 0, {"loose", "normal", "strict"}};
// 看 is no mode to open in: only 描 and 写 are stored.
inline constexpr Key writingMode {"writing", "mode", Type::Word, 0, 0, 0, {"trace", "write"}};
inline constexpr Key writingMisses {"writing", "misses", Type::Integer, 3, 2, 5};

// The whole table, for the tests and the documentation.
inline constexpr const Key *all[] = {
    &mainInterval,      &mainShuffle,       &mainReadAloud,   &servicesTts,      &servicesDictionary,
    &sheetPaper,        &sheetCell,         &sheetRows,       &sheetCopies,      &sheetStrokes,
    &sheetHeading,      &sheetItems,        &dictationOrder,  &dictationRepeats, &dictationPause,
    &dictationWrite,    &dictationManual,   &dictationPinyin, &dictationWords,   &dictationLast,
    &dictationMastered, &writingStrictness, &writingMode,     &writingMisses,
};

// The value of a stored text: the default when it is missing or not accepted.
int parse(const Key &key, const QString &stored);
// The text stored for a value (the value as it is for Text and Address keys).
QString format(const Key &key, int value);
// Reads one value from the store.
int read(const Key &key);
// Text and Address keys: the text, or empty.
QString readText(const Key &key);

// One section's values written together, in one wait for the store's lock at
// most. Empty when written; otherwise why not, in Chinese (nothing written).
struct Value {
    const Key &key;
    QString text;
    Value(const Key &k, int v) : key(k), text(format(k, v)) { }
    Value(const Key &k, const QString &t) : key(k), text(t) { }
};
QString save(const QList<Value> &values);

} // namespace settingkeys
