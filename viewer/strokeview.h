// Offline stroke-order animation of one character, drawn with QPainter over
// a 田字格 grid from the bundled stroke data.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QTimer>
#include <QTransform>
#include <QWidget>

#include "core/strokedata.h"

#include <QColor>
#include <QPainterPath>

#include <utility>
#include <vector>

// The 田字格 and ink of the stroke animation; the writing window draws its
// square in the same colours.
namespace strokecolours {
inline const QColor paper(255, 255, 255);
inline const QColor gridOuter(222, 150, 150);
inline const QColor gridInner(236, 190, 190);
inline const QColor faint(222, 222, 222); // the character's outline before it is drawn
inline const QColor ink(28, 28, 28);
} // namespace strokecolours

// The first `length` units of a polyline (a stroke's median), as a path:
// the animation's pen and the writing window's strokes follow it.
QPainterPath polylinePrefix(const QList<QPointF> &points, qreal length);

class QPainter;
namespace ui {
class WindowSight;
}

// Draws the character's strokes one after another, round after round. It
// runs only while some of it can be seen (not hidden, its window neither
// minimised, on another desktop nor covered by other windows) and goes on
// from where it stood when it can be seen again. While a stroke is drawn it
// repaints the part that changes, at most once a frame of the screen.
class StrokeView : public QWidget
{
    Q_OBJECT
public:
    explicit StrokeView(QWidget *parent = nullptr);
    ~StrokeView() override;
    // Starts animating the character (one code point); false, and an empty
    // view, when there is no data for it.
    bool showCharacter(const QString &character);
    // Empties the view and stops the animation.
    void clear();
    // Strokes of the character shown (0 when empty).
    int strokeCount() const;

    // The animation's timeline in milliseconds from the start of a round:
    // when each stroke begins to be drawn, how long it takes, and the length
    // of a whole round including the closing pause.
    qreal strokeStartMs(int stroke) const;
    qreal strokeDurationMs(int stroke) const;
    qreal roundMs() const;
    // Whether the animation is running (resting between strokes included);
    // false while it cannot be seen, and once a single round is over.
    bool isAnimating() const { return m_frame.isActive(); }
    // Where the animation stands in its round, in milliseconds.
    qreal positionMs() const { return m_now; }
    // Whether a round starts again after the closing pause (the default),
    // or the finished character stays and finished() is emitted.
    void setRepeating(bool repeating) { m_repeating = repeating; }
    bool isRepeating() const { return m_repeating; }
    // The time between two frames while a stroke is drawn: the screen's
    // refresh or 60 Hz, whichever is slower.
    int frameIntervalMs() const;

    // The frame at a time into the round, drawn into an image of the given
    // size exactly as the widget would paint it.
    QImage renderFrame(qreal ms, const QSize &size) const;
    // The practice square inside a widget area, and the mapping from the
    // data's coordinates into it.
    static QRectF gridSquare(const QRectF &area);
    static QTransform glyphTransform(const QRectF &area);
    // The width of the square's inner lines (its border is 1.5 times that).
    static qreal gridLineWidth(const QRectF &square);
    // The square's two centre lines and its dashed diagonals, in that width.
    static void drawGridGuides(QPainter &p, const QRectF &square);

    QSize sizeHint() const override { return QSize(300, 300); }

signals:
    // A round that does not repeat has drawn its last stroke.
    void finished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintFrame(QPainter &p, const QRectF &area, qreal ms) const;
    // The still part of a frame: grid, outlines and the first `inked` strokes.
    void paintStill(QPainter &p, const QRectF &area, int inked) const;
    // Strokes `from` to `to` (not included), finished.
    void inkStrokes(QPainter &p, const QRectF &area, int from, int to) const;
    // The stroke being drawn, `progress` (0 to 1) of the way along.
    // `within`, when given, limits the painting to a part of the area.
    void paintStroke(QPainter &p, const QRectF &area, int stroke, qreal progress,
                     const QRect &within = QRect()) const;
    // Strokes finished at a time, and the stroke being drawn then (-1: none).
    int inkedAt(qreal ms) const;
    int drawingAt(qreal ms) const;
    // Where a stroke lies in an area, and in the widget, with a margin for
    // antialiasing.
    QRect strokeBox(const QRectF &area, int stroke) const;
    QRect strokeRect(int stroke) const;
    // The stroke's shape in its box at the widget's size, made when needed.
    void ensureShape(const QRectF &area, int stroke, qreal ratio) const;
    // The part of a widget rectangle that holds any of the stroke.
    QRect strokePart(int stroke, const QRect &within) const;
    // Repaints what changed since the frame shown before.
    void advance(qreal ms);
    void startAnimation();
    // Runs or rests the animation as the view can be seen or not.
    void updateRunning();
    // One frame now, and the timer set for the next change.
    void tick();

    std::optional<StrokeGlyph> m_glyph;
    QList<qreal> m_medianLengths;
    QList<qreal> m_penReach; // the revealing pen's radius, stroke by stroke
    QList<qreal> m_starts;
    QList<qreal> m_durations;
    qreal m_round = 0;
    qreal m_now = 0; // the time into the round last shown
    // A character is being shown and its round is not over, seen or not.
    bool m_playing = false;
    bool m_repeating = true;
    // Beats once a frame while a stroke is drawn, else once at the end of
    // the rest before the next stroke or round; stopped while unseen.
    QTimer m_frame;
    // Real time since m_clockFrom, the round's time when it was started.
    QElapsedTimer m_clock;
    qreal m_clockFrom = 0;
    ui::WindowSight *m_sight = nullptr;
    // What the widget shows: strokes inked and the one being drawn.
    int m_shownInked = 0;
    int m_shownDrawing = -1;
    qreal m_shownLength = 0; // of the stroke being drawn, along its centre line
    // The still part as last painted, at the widget's size.
    QPixmap m_still;
    int m_stillInked = -1;
    // The shape of the stroke being drawn, for cutting the pen's trace.
    mutable QImage m_shape;
    // Where the stroke being drawn is composed, frame after frame.
    mutable QImage m_layer;
    // Of each row of the shape's pixels, the first and last that hold any of it.
    mutable std::vector<std::pair<int, int>> m_shapeRows;
    mutable int m_shapeStroke = -1;
    mutable QRectF m_shapeArea;
};
