// The writing of one character at a time (练写), without a widget: which
// character, the strokes taken and how they were written, the misses, the
// score, what was drawn for the pupil, and what the window says about it.
// It calls the stroke check and the course rules; the window only draws it
// and hands it the pupil's strokes.
#pragma once

#include "core/strokedata.h"
#include "rules/strokecheck.h"
#include "rules/writingcourse.h"

#include <QObject>
#include <QTransform>

#include <optional>

class WritingSession : public QObject
{
    Q_OBJECT
public:
    using Outcome = writingcourse::Course::Outcome;

    // Every stroke drawn on the square, in order, as it was written.
    struct Try {
        enum class State { Taken, Refused, TakenBack };
        int stroke = 0;
        QList<QPointF> ink; // grid units
        State state = State::Refused;
    };

    // A finished character, for the record of what was written.
    struct Result {
        QString character;
        int strokes = 0;
        int rightFirstTime = 0;
        QList<int> refusedTwice; // strokes refused at least twice
        QList<int> drawnForPupil;
        // Worth a place in the mistake book.
        bool needsPractice() const { return !refusedTwice.isEmpty() || !drawnForPupil.isEmpty(); }
    };

    explicit WritingSession(QObject *parent = nullptr);

    // The character to write (its first code point), from its first stroke;
    // false when the stroke data has no such character.
    bool setCharacter(const QString &character);
    const QString &character() const { return m_character; }
    bool hasStrokes() const { return m_glyph.has_value(); }
    const std::optional<StrokeGlyph> &glyph() const { return m_glyph; }
    const QList<strokecheck::StrokeShape> &shapes() const { return m_shapes; }

    // The bank "下一个字" walks through, and the character after this one in
    // it (empty when there is no other).
    void setBankText(const QString &bankText);
    QString nextCharacter() const;
    bool goToNext();

    void setStrictness(strokecheck::Strictness strictness) { m_strictness = strictness; }
    strokecheck::Strictness strictness() const { return m_strictness; }
    void setMissesForDrawing(int misses) { m_course.setMissesForDrawing(misses); }
    int missesForDrawing() const { return m_course.missesForDrawing(); }

    int strokeCount() const { return m_course.strokeCount(); }
    // The stroke to write next; strokeCount() when the character is complete.
    int current() const { return m_course.current(); }
    bool complete() const { return m_course.complete(); }
    int missesOnCurrent() const { return m_course.missesOnCurrent(); }

    // The pupil's stroke, in grid units, judged as the current stroke.
    // Nothing for a tap, or when there is nothing to write.
    std::optional<Outcome> submitStroke(const QList<QPointF> &ink);
    const strokecheck::Verdict &lastVerdict() const { return m_lastVerdict; }
    // 撤销: takes back the last stroke done (taken or drawn for the pupil);
    // not once the character is finished.
    bool canUndo() const;
    bool undo();
    // 再写一次: the same character from its first stroke, its score wiped.
    void restart();

    // Where the pupil writes: the model's grid mapped onto the square through
    // the frame of the strokes taken (the box itself before any).
    QTransform pupilFrame() const;
    // The pupil's ink of the strokes done, empty for one drawn for the pupil.
    QList<QList<QPointF>> takenInk() const;
    const QList<Try> &tries() const { return m_tries; }
    bool drawnForPupil(int stroke) const;

    int rightFirstTime() const;
    Result result() const;

    // The status line ("第 2 笔，共 4 笔　笔顺不对", "写完了！") and the score
    // under the square ("一次写对 3 笔，共 4 笔"; empty until finished).
    QString statusText() const;
    QString scoreText() const;
    int stars() const;

signals:
    // Anything the square or the status line shows has changed.
    void changed();
    // A character begun, or begun again: nothing of it is written (before changed()).
    void restarted();
    // After every judged stroke, before changed().
    void strokeJudged(WritingSession::Outcome outcome);
    // The last stroke is done: what was written, for the record.
    void characterFinished(const WritingSession::Result &result);

private:
    // What happened to each stroke of the character in this writing of it.
    struct StrokeRecord {
        bool tried = false;
        bool rightFirstTime = false;
        int mostMisses = 0;
        bool drawnForPupil = false;
        bool done = false;
        QList<QPointF> ink; // of the try that was taken
    };

    void finishStroke(int stroke, const QList<QPointF> &ink, bool drawn);

    QString m_character;
    QString m_bankText;
    std::optional<StrokeGlyph> m_glyph;
    QList<strokecheck::StrokeShape> m_shapes;
    strokecheck::Strictness m_strictness = strokecheck::Strictness::Normal;
    writingcourse::Course m_course;
    QList<StrokeRecord> m_records;
    QList<Try> m_tries;
    strokecheck::Verdict m_lastVerdict;
    // What the last judged stroke came to, for the status line.
    std::optional<Outcome> m_lastOutcome;
};
