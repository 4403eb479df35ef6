#include "widgets/windowsight.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QWidget>
#include <QWindow>

#if defined(LORVANTA_X11)
#include <QAbstractNativeEventFilter>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace ui {

#if defined(LORVANTA_X11)
namespace {
// Qt does not tell a window wholly covered by others from one in full view;
// the X server does, in VisibilityNotify events, to clients that ask for
// them. This asks for them on the watched windows and passes them on.
class XCoverage : public QAbstractNativeEventFilter
{
public:
    // The one watch of this X connection; nullptr off X11.
    static XCoverage *get()
    {
        auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
        if (!connection)
            return nullptr;
        static XCoverage watch;
        if (watch.m_connection != connection) {
            watch.m_connection = connection;
            watch.m_windows.clear();
            qGuiApp->installNativeEventFilter(&watch);
        }
        return &watch;
    }

    // Asks for the window's visibility reports. Done again at every showing:
    // Qt sets the window's event mask anew when it changes the window's flags.
    void watch(WindowSight *sight, xcb_window_t window)
    {
        m_windows.insert(sight, window);
        const auto cookie = xcb_get_window_attributes(m_connection, window);
        xcb_get_window_attributes_reply_t *reply
            = xcb_get_window_attributes_reply(m_connection, cookie, nullptr);
        if (!reply)
            return;
        const uint32_t mask = reply->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
        if (mask != reply->your_event_mask)
            xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
        std::free(reply);
    }

    void forget(WindowSight *sight) { m_windows.remove(sight); }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
            return false;
        const auto *report = reinterpret_cast<const xcb_visibility_notify_event_t *>(event);
        QList<QPointer<WindowSight>> told;
        for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it)
            if (it.value() == report->window)
                told.append(it.key());
        for (const QPointer<WindowSight> &sight : told)
            if (sight)
                sight->setCovered(report->state == XCB_VISIBILITY_FULLY_OBSCURED);
        return false; // Qt has no use for them, but others may
    }

private:
    xcb_connection_t *m_connection = nullptr;
    QHash<WindowSight *, xcb_window_t> m_windows;
};
} // namespace
#endif

WindowSight::WindowSight(QWidget *widget) : QObject(widget), m_widget(widget)
{
    widget->installEventFilter(this);
    follow();
    m_seen = canBeSeen();
}

WindowSight::~WindowSight()
{
#if defined(LORVANTA_X11)
    if (XCoverage *x = XCoverage::get())
        x->forget(this);
#endif
}

bool WindowSight::canBeSeen() const
{
    return m_widget->isVisible() && m_top && !m_top->isMinimized() && m_handle && m_handle->isExposed()
        && !m_covered;
}

void WindowSight::setCovered(bool covered)
{
    m_covered = covered;
    recheck();
}

void WindowSight::follow()
{
    QWidget *top = m_widget->window();
    if (top != m_top) {
        if (m_top && m_top != m_widget)
            m_top->removeEventFilter(this);
        m_top = top;
        if (top != m_widget)
            top->installEventFilter(this);
        m_covered = false;
    }
    QWindow *handle = top->windowHandle();
    if (handle != m_handle) {
        if (m_handle)
            m_handle->removeEventFilter(this);
        m_handle = handle;
        if (handle)
            handle->installEventFilter(this);
    }
#if defined(LORVANTA_X11)
    if (handle)
        if (XCoverage *x = XCoverage::get())
            x->watch(this, xcb_window_t(handle->winId()));
#endif
}

void WindowSight::recheck()
{
    const bool seen = canBeSeen();
    if (seen == m_seen)
        return;
    m_seen = seen;
    emit changed();
}

bool WindowSight::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::ParentChange:
    case QEvent::WinIdChange:
        // A top-level window's own window exists by the time it is shown,
        // and its visibility reports are asked for before the server maps it.
        if (watched == m_widget || watched == m_top)
            follow();
        recheck();
        break;
    case QEvent::Expose:
        // Unmapped, the window gets a fresh coverage report when mapped again.
        if (watched == m_handle && !m_handle->isExposed())
            m_covered = false;
        recheck();
        break;
    case QEvent::Hide:
    case QEvent::WindowStateChange: recheck(); break;
    default: break;
    }
    return false;
}

} // namespace ui
