#include "writing/writingsession.h"

#include "core/textutil.h"

#include <algorithm>

WritingSession::WritingSession(QObject *parent) : QObject(parent) { }

bool WritingSession::setCharacter(const QString &character)
{
    m_character = modPub::firstCodePoint(character);
    const auto codePoint = StrokeData::singleCodePoint(m_character);
    m_glyph = codePoint ? StrokeData::bundled().find(*codePoint) : std::nullopt;
    m_shapes.clear();
    if (m_glyph)
        for (qsizetype i = 0; i < m_glyph->medians.size(); ++i)
            m_shapes.append({m_glyph->medians[i], m_glyph->outlines[i].toFillPolygon().toList()});
    restart();
    return hasStrokes();
}

void WritingSession::setBankText(const QString &bankText)
{
    m_bankText = bankText;
    emit changed();
}

QString WritingSession::nextCharacter() const
{
    return writingcourse::nextCharacter(
        m_bankText, m_character, [](QChar c) { return StrokeData::bundled().find(c.unicode()).has_value(); });
}

bool WritingSession::goToNext()
{
    const QString next = nextCharacter();
    return !next.isEmpty() && setCharacter(next);
}

void WritingSession::restart()
{
    m_course.reset(int(m_shapes.size()));
    m_records = QList<StrokeRecord>(m_shapes.size());
    m_tries.clear();
    m_lastVerdict = {};
    m_lastOutcome.reset();
    emit restarted();
    emit changed();
}

std::optional<WritingSession::Outcome> WritingSession::submitStroke(const QList<QPointF> &ink)
{
    if (!hasStrokes() || complete())
        return std::nullopt;
    const int stroke = current();
    const strokecheck::Verdict v = strokecheck::judgeStroke(m_shapes, stroke, takenInk(), ink, m_strictness);
    // A tap is no attempt.
    if (v.reasons == strokecheck::TooFewPoints)
        return std::nullopt;
    m_lastVerdict = v;
    StrokeRecord &r = m_records[stroke];
    if (!r.tried)
        r.rightFirstTime = v.accepted;
    r.tried = true;
    const Outcome outcome = m_course.record(v.accepted);
    m_tries.append({stroke, ink, v.accepted ? Try::State::Taken : Try::State::Refused});
    if (!v.accepted)
        r.mostMisses = std::max(r.mostMisses,
                                outcome == Outcome::DrawnForPupil ? missesForDrawing() : missesOnCurrent());
    if (outcome == Outcome::Accepted || outcome == Outcome::DrawnForPupil)
        finishStroke(stroke, v.accepted ? ink : QList<QPointF>(), outcome == Outcome::DrawnForPupil);
    m_lastOutcome = outcome;
    emit strokeJudged(outcome);
    emit changed();
    if (complete())
        emit characterFinished(result());
    return outcome;
}

void WritingSession::finishStroke(int stroke, const QList<QPointF> &ink, bool drawn)
{
    StrokeRecord &r = m_records[stroke];
    r.done = true;
    r.ink = ink;
    r.drawnForPupil = r.drawnForPupil || drawn;
}

bool WritingSession::canUndo() const { return hasStrokes() && current() > 0 && !complete(); }

bool WritingSession::undo()
{
    if (!canUndo() || !m_course.stepBack())
        return false;
    StrokeRecord &r = m_records[current()];
    r.done = false;
    r.ink.clear();
    // Its ink stays on record, set apart from the strokes taken.
    for (auto it = m_tries.rbegin(); it != m_tries.rend(); ++it)
        if (it->stroke == current() && it->state == Try::State::Taken) {
            it->state = Try::State::TakenBack;
            break;
        }
    m_lastVerdict = {};
    m_lastOutcome.reset();
    emit changed();
    return true;
}

QList<QList<QPointF>> WritingSession::takenInk() const
{
    QList<QList<QPointF>> out;
    for (int i = 0; i < current() && i < m_records.size(); ++i)
        out.append(m_records[i].ink);
    return out;
}

QTransform WritingSession::pupilFrame() const
{
    const strokecheck::Frame f = strokecheck::fitFrame(m_shapes, takenInk());
    const double c = f.scale * std::cos(f.angle), s = f.scale * std::sin(f.angle);
    return QTransform(c, s, -s, c, f.shift.x(), f.shift.y());
}

bool WritingSession::drawnForPupil(int stroke) const
{
    return stroke >= 0 && stroke < m_records.size() && m_records[stroke].drawnForPupil;
}

int WritingSession::rightFirstTime() const
{
    return int(std::count_if(m_records.cbegin(), m_records.cend(),
                             [](const StrokeRecord &r) { return r.rightFirstTime; }));
}

WritingSession::Result WritingSession::result() const
{
    Result r;
    r.character = m_character;
    r.strokes = strokeCount();
    r.rightFirstTime = rightFirstTime();
    for (int i = 0; i < m_records.size(); ++i) {
        if (m_records[i].mostMisses >= 2)
            r.refusedTwice.append(i);
        if (m_records[i].drawnForPupil)
            r.drawnForPupil.append(i);
    }
    return r;
}

QString WritingSession::statusText() const
{
    if (!hasStrokes())
        return m_character.isEmpty() ? QStringLiteral("没有要写的字。")
                                     : QStringLiteral("“%1”没有笔顺数据，不能练习书写。").arg(m_character);
    if (complete())
        return QStringLiteral("写完了！");
    QString text = QStringLiteral("第 %1 笔，共 %2 笔").arg(current() + 1).arg(strokeCount());
    // The most telling reason only: one thing to mend at a time.
    const QString reason = strokecheck::reasonTexts(m_lastVerdict.reasons).value(0);
    switch (m_lastOutcome.value_or(Outcome::Accepted)) {
    case Outcome::Accepted: break;
    case Outcome::Missed: text += QStringLiteral("　") + reason; break;
    case Outcome::Hint: text += QStringLiteral("　%1，看看提示").arg(reason); break;
    case Outcome::DrawnForPupil: text += QStringLiteral("　这一笔是这样写的"); break;
    }
    return text;
}

QString WritingSession::scoreText() const
{
    return complete() && hasStrokes() ? writingcourse::scoreText(rightFirstTime(), strokeCount()) : QString();
}

int WritingSession::stars() const
{
    return complete() && hasStrokes() ? writingcourse::starsFor(rightFirstTime(), strokeCount()) : 0;
}
