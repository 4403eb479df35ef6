#include "widgets/ui.h"

#include "resources/fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTimer>
#include <QWindow>

namespace ui {

void place(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(px(left), px(top), std::max(0, px(width)), std::max(0, px(height)));
}

void move(QWidget *w, double left, double top) { w->move(px(left), px(top)); }

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_secondPress = false;
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click: its release is no new click.
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        m_secondPress = true;
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (m_secondPress) {
        m_secondPress = false;
        return;
    }
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

namespace {
// The frame's margins as the window system has them now. (The widget's own
// frame geometry is cached, and can be stale or nonsense while the window
// manager is still taking the window over.)
QMargins marginsOf(const QWidget *w)
{
    const QWindow *handle = w->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The window's frame margins, or, while the window manager has not framed it
// yet, those of another framed window of the program (the best guess there is).
QMargins frameMarginsFor(const QWidget *window)
{
    const QMargins own = marginsOf(window);
    if (!own.isNull())
        return own;
    for (const QWidget *w : QApplication::topLevelWidgets()) {
        if (w == window || !w->isVisible() || w->isMinimized())
            continue;
        const QMargins m = marginsOf(w);
        if (!m.isNull())
            return m;
    }
    return own;
}

class FirstShowCentring : public QObject
{
public:
    FirstShowCentring(QWidget *window, std::function<QRect()> area)
        : QObject(window), m_window(window), m_area(std::move(area))
    {
        window->installEventFilter(this);
        m_poll.setInterval(40);
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        // Placed before the window appears, so that it does not jump; the
        // frame is guessed from another window of the program until it is known.
        if (!window->testAttribute(Qt::WA_WState_Created))
            centre();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show && !m_shown) {
            m_shown = true;
            m_since.start();
            centre();
            m_poll.start();
        } else if (event->type() == QEvent::Resize && m_shown) {
            // A box that sizes itself while it appears is centred at its final size.
            centre();
        }
        return false;
    }

private:
    void centre() { centreWindow(m_window, m_area()); }

    void poll()
    {
        // The frame counts once the window is on screen and the frame has
        // stood still for a moment: while the window manager is still taking
        // the window over, the margins read can be stale or nonsense.
        const QMargins m = marginsOf(m_window);
        const bool framed = m.left() >= 0 && m.top() > 0 && m.right() >= 0 && m.bottom() >= 0
            && m_window->windowHandle() && m_window->windowHandle()->isExposed();
        const QRect frame = m_window->geometry().marginsAdded(m);
        if (framed && frame == m_lastFrame) {
            centre();
            finish();
        } else if (m_since.elapsed() > 1500) {
            finish(); // no window manager frames it, or its frame was right from the start
        }
        m_lastFrame = framed ? frame : QRect();
    }

    void finish()
    {
        m_poll.stop();
        m_window->removeEventFilter(this);
        deleteLater();
    }

    QWidget *m_window;
    std::function<QRect()> m_area;
    QTimer m_poll;
    QElapsedTimer m_since;
    QRect m_lastFrame;
    bool m_shown = false;
};
} // namespace

void centreOnFirstShow(QWidget *window, std::function<QRect()> area)
{
    new FirstShowCentring(window, std::move(area));
}

void centreOnOwnerOnFirstShow(QWidget *window, QWidget *owner)
{
    if (!owner)
        return;
    const QPointer<QWidget> o(owner->window());
    centreOnFirstShow(window, [window, o] { return o ? o->frameGeometry() : window->frameGeometry(); });
}

void centreWindow(QWidget *window, const QRect &area)
{
    const QMargins own = marginsOf(window);
    const QMargins margins = own.isNull() ? frameMarginsFor(window) : own;
    QRect frame = window->geometry().marginsAdded(margins);
    frame.moveCenter(area.center());
    if (const QScreen *screen = window->screen()) {
        const QRect avail = screen->availableGeometry();
        // Right and bottom first, so that a window larger than the screen
        // keeps its top-left corner visible.
        if (frame.right() > avail.right())
            frame.moveRight(avail.right());
        if (frame.bottom() > avail.bottom())
            frame.moveBottom(avail.bottom());
        if (frame.left() < avail.left())
            frame.moveLeft(avail.left());
        if (frame.top() < avail.top())
            frame.moveTop(avail.top());
    }
    // Placed by its inside: the window manager puts the frame around it.
    window->setGeometry(QRect(frame.topLeft() + QPoint(margins.left(), margins.top()), window->size()));
}

void bringToFront(QWidget *window)
{
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != window) {
        modal->raise();
        modal->activateWindow();
    }
}

void setBackground(QWidget *w, const QColor &colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::Button, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void setTextColour(QWidget *w, const QColor &colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::ButtonText, colour);
    w->setPalette(pal);
}

namespace {
bool isInstalled(const QString &family)
{
    // Qt lists a family installed by two foundries as "Family [Foundry]".
    static const QSet<QString> installed = [] {
        QSet<QString> names;
        for (const QString &name : QFontDatabase::families()) {
            const qsizetype bracket = name.indexOf(QLatin1String(" ["));
            names.insert((bracket < 0 ? name : name.left(bracket)).toCaseFolded());
        }
        return names;
    }();
    return installed.contains(family.toCaseFolded());
}
} // namespace

QString designFamily(const QString &family)
{
    if (isInstalled(family))
        return family;
    for (const QString &substitute : QFont::substitutes(family)) {
        if (isInstalled(substitute))
            return substitute;
    }
    return family;
}

QFont designFont(const QString &family, double points, bool underline)
{
    QFont f(designFamily(family));
    f.setPointSizeF(points);
    f.setUnderline(underline);
    return f;
}

void installFontSubstitutes()
{
    for (const QString &face : resources::designFaces())
        QFont::insertSubstitutions(face, resources::faceSubstitutes(face));
}
} // namespace ui
