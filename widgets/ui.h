// Small pieces every window shares: twip placement, clickable labels.
#pragma once

#include "rules/layout.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <cmath>

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

// A label that reports clicks.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// Moves a window so that it is centred on `area` (global coordinates), but
// never past the screen's edges: its title bar and controls stay reachable.
void centreWindow(QWidget *window, const QRect &area);

// Shows the one instance of a secondary window: an open one is reused and
// brought to the front, otherwise a new one is made, owned by `owner` and
// deleted again when it is closed.
template <typename Window>
Window *showSingleInstance(QPointer<Window> &instance, QWidget *owner)
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

// A font by its design name and size in points.
QFont designFont(const QString &family, double points, bool underline = false);
// Maps the design's font names to families installed here; called once at start.
void installFontSubstitutes();
} // namespace ui
