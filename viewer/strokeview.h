// Offline stroke-order animation of one character, drawn with QPainter over
// a 田字格 grid from the bundled stroke data.
#pragma once

#include <QWidget>

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
};
