// Whether any part of a widget can be seen on the screen, for animations
// that should rest while it cannot.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace ui {

// Watches a widget and the window it lies in. The widget can be seen while
// it is shown, its window is not minimised, the window system shows the
// window (it is not on another desktop) and, on X11, other windows do not
// cover all of it. changed() follows every change of that answer. A widget
// that listens to it deletes the watch in its own destructor: QWidget's
// destructor hides the widget, and the watch would report that.
class WindowSight : public QObject
{
    Q_OBJECT
public:
    explicit WindowSight(QWidget *widget);
    ~WindowSight() override;

    bool canBeSeen() const;
    // Whether other windows cover the whole window, as the X server said last.
    bool covered() const { return m_covered; }
    // Called by the X11 watch when the server reports the window's coverage.
    void setCovered(bool covered);

signals:
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Attaches to the window the widget lies in now.
    void follow();
    void recheck();

    QWidget *m_widget;
    QPointer<QWidget> m_top;
    QPointer<QWindow> m_handle;
    bool m_covered = false;
    bool m_seen = false;
};

} // namespace ui
