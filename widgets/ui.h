// Small pieces every window shares: twip placement, clickable labels.
#pragma once

#include "rules/layout.h"

#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <cmath>
#include <functional>

namespace ui {
// 15 twips are one pixel at 96 dpi; Qt's device-independent pixels do the rest.
constexpr double twipsPerPixel = 15.0;
inline int px(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixel)); }
inline float twips(int pixels) { return static_cast<float>(pixels * twipsPerPixel); }

// Places a widget at a rectangle given in twips.
void place(QWidget *w, double left, double top, double width, double height);
void move(QWidget *w, double left, double top);
// The widget's rectangle read back in twips.
inline float leftOf(const QWidget *w) { return twips(w->x()); }
inline float topOf(const QWidget *w) { return twips(w->y()); }
inline float widthOf(const QWidget *w) { return twips(w->width()); }
inline float heightOf(const QWidget *w) { return twips(w->height()); }
// Client width and height of a window in twips.
inline float scaleWidth(const QWidget *w) { return twips(w->width()); }
inline float scaleHeight(const QWidget *w) { return twips(w->height()); }

// Integer halving for centring (the layout rule, shared by every window).
using layout::halfOf;

// A label that reports clicks. A double click is one click: its second
// press is the double click itself, and its release reports nothing.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_secondPress = false;
};

// Moves a window so that its frame, title bar included, is centred on `area`
// (global coordinates), but never past the screen's edges: its title bar and
// controls stay reachable. Before the window manager has framed the window,
// the frame of another framed window of the program stands in for its own.
void centreWindow(QWidget *window, const QRect &area);

// Centres `window` on area() when it is first shown, and again when the
// window manager has framed it (the frame is only known then) or the window
// has taken its final size, within the first moments after showing. Later
// moves are the user's and are left alone.
void centreOnFirstShow(QWidget *window, std::function<QRect()> area);
// The same, on the window of `owner` (frame included); nothing when there is
// no owner.
void centreOnOwnerOnFirstShow(QWidget *window, QWidget *owner);

// Shows the one instance of a secondary window: an open one is reused and
// brought to the front, otherwise a new one is made, owned by `owner` and
// deleted again when it is closed.
template <typename Window> Window *showSingleInstance(QPointer<Window> &instance, QWidget *owner)
{
    if (!instance) {
        instance = new Window(owner);
        instance->setAttribute(Qt::WA_DeleteOnClose);
    }
    instance->show();
    instance->raise();
    instance->activateWindow();
    return instance;
}

// Shows a window again in front of the others and gives it the keyboard,
// restored when it was minimised; an open modal dialog comes in front of it.
void bringToFront(QWidget *window);

// The colour of every "加入错字本" button, in dictation and in writing practice.
inline QColor mistakeBookColour() { return QColor(255, 192, 192); }

// A widget's background (its window and button roles) filled with a colour.
void setBackground(QWidget *w, const QColor &colour);
// A widget's text colour (window and button text).
void setTextColour(QWidget *w, const QColor &colour);

// The family to ask for in place of a design name: the design's own when
// installed, else the first installed substitute (the face fontconfig would
// settle on too). Asking for a name that is not installed costs fontconfig
// a sorted fallback list each time a face is loaded for it, over half a
// millisecond per name at start-up.
QString designFamily(const QString &family);
// A font by its design name and size in points.
QFont designFont(const QString &family, double points, bool underline = false);
// Maps the design's font names to families installed here; called once at start.
void installFontSubstitutes();
} // namespace ui
