// Offline stroke-order animation of one character, drawn with QPainter over
// a 田字格 grid from the bundled stroke data.
#pragma once

#include <QImage>
#include <QList>
#include <QTransform>
#include <QVariantAnimation>
#include <QWidget>

#include "core/strokedata.h"

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
    // Whether the animation is running.
    bool isAnimating() const { return m_animation.state() == QAbstractAnimation::Running; }

    // The frame at a time into the round, drawn into an image of the given
    // size exactly as the widget would paint it.
    QImage renderFrame(qreal ms, const QSize &size) const;
    // The practice square inside a widget area, and the mapping from the
    // data's coordinates into it.
    static QRectF gridSquare(const QRectF &area);
    static QTransform glyphTransform(const QRectF &area);

    QSize sizeHint() const override { return QSize(300, 300); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void paintFrame(QPainter &p, const QRectF &area, qreal ms) const;
    void startAnimation();

    std::optional<StrokeGlyph> m_glyph;
    QList<qreal> m_medianLengths;
    QList<qreal> m_starts;
    QList<qreal> m_durations;
    qreal m_round = 0;
    qreal m_now = 0;
    // Runs through one round in real time, again and again.
    QVariantAnimation m_animation;
};
