// The writing square: the grid, the character as far as it is written, the
// pupil's ink and the short-lived marks (a miss in red, a hint, a stroke
// drawn for the pupil). It draws the session and hands it the pupil's
// strokes; what they come to is the session's.
#pragma once

#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QTransform>
#include <QWidget>

class QTabletEvent;
class WritingSession;

class WriteCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit WriteCanvas(WritingSession *session, QWidget *parent = nullptr);

    // "描": the character in light grey under the grid, and the strokes
    // written in its place; otherwise they stand where the pupil writes.
    void setTraceShown(bool shown);
    // "保留笔迹": the pupil's own ink, refused tries set apart.
    void setKeepInk(bool keep);
    // Where the next stroke starts and which way it goes, for a moment.
    void flashHint();

    // Whether anything is still moving (fades, a hint, a stroke being drawn).
    bool animating() const { return m_tick.isActive(); }
    // Widget position of a point of the data's grid, and back.
    QPointF toWidget(const QPointF &grid) const;
    QPointF toGrid(const QPointF &widget) const;

    QSize sizeHint() const override { return QSize(460, 460); }
    QSize minimumSizeHint() const override { return QSize(200, 200); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void tabletEvent(QTabletEvent *event) override;
    bool event(QEvent *event) override;

private:
    enum class Source { None, Mouse, Pen, Touch };
    struct Effect {
        enum Kind { Appear, Reveal, Miss, Hint } kind;
        int stroke;
        QList<QPointF> ink; // grid units
        qint64 start;
        qint64 duration;
    };

    void beginInk(Source source, const QPointF &at);
    void extendInk(Source source, const QPointF &at);
    void endInk(Source source);
    void cancelInk();
    void strokeJudged(int outcome);
    void restarted();
    void sessionChanged();
    void addEffect(Effect::Kind kind, int stroke, QList<QPointF> ink, qint64 duration);
    void animate();
    void dropHints();
    void invalidateBackground();
    void renderBackground();
    // The model's grid onto the widget, through where the strokes stand.
    QTransform strokeTransform() const;
    QRect inkRect(const QPointF &a, const QPointF &b) const;
    void paintKeptInk(QPainter &p) const;
    void paintEffect(QPainter &p, const Effect &e, qint64 now) const;
    void paintHint(QPainter &p, int stroke, qreal t) const;

    WritingSession *m_session;
    bool m_trace = true;
    bool m_keepInk = false;
    // Strokes 0 .. m_settled - 1 are in the background picture; those after
    // them and before the session's current stroke are still appearing.
    int m_settled = 0;
    QTransform m_frame; // where the strokes stand, from the session

    Source m_source = Source::None;
    int m_touchId = -1; // the finger that writes
    QList<QPointF> m_ink; // the stroke being drawn, grid units
    QList<Effect> m_effects;
    QElapsedTimer m_clock;
    QTimer m_tick;

    QPixmap m_background;
    bool m_backgroundValid = false;
    QTransform m_toWidget;
    QTransform m_toGrid;
};
