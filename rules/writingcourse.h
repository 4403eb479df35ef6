// The course of writing one character and what the writing practice picks
// to write: values in, values out. The stroke check itself is strokecheck.h.
#pragma once

#include <QString>

#include <functional>

namespace writingcourse {

// How far the pupil is with the character: which stroke is next, the misses
// on it, and what the window should do after each attempt.
class Course
{
public:
    enum class Outcome {
        Accepted, // the stroke is done
        Missed, // refused; try again
        Hint, // refused again: show where the stroke starts and which way it goes
        DrawnForPupil, // refused once too often: the stroke is drawn and counted as missed
    };
    // Misses on one stroke before it is drawn for the pupil.
    static constexpr int kLeastMisses = 2;
    static constexpr int kMostMisses = 5;
    static constexpr int kDefaultMisses = 3;

    explicit Course(int strokeCount = 0, int missesForDrawing = kDefaultMisses);
    void reset(int strokeCount);
    // Clamped to 2–5; takes effect from the next miss.
    void setMissesForDrawing(int misses);
    int missesForDrawing() const { return m_missesForDrawing; }

    int strokeCount() const { return m_total; }
    // The stroke to write next; strokeCount() when the character is complete.
    int current() const { return m_current; }
    bool complete() const { return m_current >= m_total; }
    int missesOnCurrent() const { return m_misses; }

    // Records the verdict on the current stroke.
    Outcome record(bool accepted);
    // Back to the stroke before, to be written again (nothing at the first).
    bool stepBack();

private:
    int m_total = 0;
    int m_current = 0;
    int m_misses = 0;
    int m_missesForDrawing = kDefaultMisses;
};

// One to three stars for strokes right at the first try out of all.
int starsFor(int rightFirstTime, int total);
// "一次写对 7 笔，共 9 笔".
QString scoreText(int rightFirstTime, int total);

// The character after `character` among the bank's Chinese characters for
// which `hasStrokes` holds, wrapping; empty when there is no other one.
QString nextCharacter(const QString &bankText, const QString &character,
                      const std::function<bool(QChar)> &hasStrokes);
// What to write for a practice item: its first Chinese character, 天 for a
// pinyin item (the viewer's first character too).
QString characterFor(const QString &item);
// The card's menu entry for an item: "练习书写…", and for a pinyin item the
// character it opens.
QString menuText(const QString &item);

} // namespace writingcourse
