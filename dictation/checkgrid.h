// The dictated items as numbered tiles, each with the word it was read with
// small under it; a click, the tile's number, or the arrow keys and Space ask
// for a tile to be marked wrong (and again right). The tiles grow with the
// room they have: three rows of seven fit at the window's first size.
#pragma once

#include "rules/dictation.h"

#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <QWidget>

class CheckGrid : public QWidget
{
    Q_OBJECT
public:
    explicit CheckGrid(QWidget *parent = nullptr);
    // `words[i]` is shown under item i (may be empty).
    void setItems(const QStringList &items, const QStringList &words);
    void setMarks(const QList<bool> &wrong);
    const QStringList &items() const { return m_items; }
    // Lays the tiles out again for the room the grid has now.
    void relayout()
    {
        layoutTiles();
        update();
    }
    int current() const { return m_current; }
    // The side of a plain tile and the item's pixel size in it, for the
    // room the grid has now.
    int tileSide() const { return m_side; }
    int itemPixels() const { return itemPixelsFor(m_side); }
    static int itemPixelsFor(int side) { return side / 2; }
    QSize sizeHint() const override;
signals:
    void toggleRequested(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutTiles();
    void setCurrent(int index);
    void rowStep(int direction);
    int tileAt(const QPoint &p) const;
    void toggle(int index);
    void numberDue();
    QFont itemFont(const QString &item) const;

    QStringList m_items;
    QStringList m_words;
    QList<bool> m_wrong;
    QList<QRect> m_tiles;
    int m_side = 92;
    int m_current = 0;
    dictation::NumberEntry m_number;
    QTimer m_numberTimer;
    QElapsedTimer m_clock;
};
