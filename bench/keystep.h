// The step from a real key press to the painted item, measured inside the
// process that paints: the press goes through the X server (XTEST, as
// xdotool sends it), and the step ends when the window's repaint after the
// watched widget's paint is done. Used by both sides of the start-up figure.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QList>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <dlfcn.h>

namespace keystep {

// libX11 and libXtst are loaded here so that neither side links them.
class FakeKeys
{
public:
    FakeKeys()
    {
        void *x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        void *xtst = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
        if (!x11 || !xtst)
            return;
        m_open = reinterpret_cast<void *(*)(const char *)>(dlsym(x11, "XOpenDisplay"));
        m_keycode
            = reinterpret_cast<unsigned char (*)(void *, unsigned long)>(dlsym(x11, "XKeysymToKeycode"));
        m_flush = reinterpret_cast<int (*)(void *)>(dlsym(x11, "XFlush"));
        m_fake = reinterpret_cast<int (*)(void *, unsigned, int, unsigned long)>(
            dlsym(xtst, "XTestFakeKeyEvent"));
        if (m_open && m_keycode && m_flush && m_fake)
            m_display = m_open(nullptr);
    }
    bool ok() const { return m_display; }
    void press(unsigned long keysym)
    {
        const unsigned code = m_keycode(m_display, keysym);
        m_fake(m_display, code, 1, 0);
        m_fake(m_display, code, 0, 0);
        m_flush(m_display);
    }

private:
    void *m_display = nullptr;
    void *(*m_open)(const char *) = nullptr;
    unsigned char (*m_keycode)(void *, unsigned long) = nullptr;
    int (*m_flush)(void *) = nullptr;
    int (*m_fake)(void *, unsigned, int, unsigned long) = nullptr;
};

// X key symbols of the arrow keys.
constexpr unsigned long kLeft = 0xff51;
constexpr unsigned long kRight = 0xff53;

// Presses Right and Left in turn, `count` times, once the watched widget has
// painted first, each press after the previous step ended; prints the median
// and the longest step in microseconds and the number of steps, then quits.
class Stepper : public QObject
{
public:
    Stepper(QObject *watched, int count) : m_count(count)
    {
        watched->installEventFilter(this);
        m_guard.setSingleShot(true);
        m_guard.setInterval(3000);
        connect(&m_guard, &QTimer::timeout, this, [this] {
            report();
            QCoreApplication::exit(1);
        });
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            // Ends once this repaint has reached the window system.
            QTimer::singleShot(0, this, [this] { stepDone(); });
        }
        return false;
    }

private:
    void stepDone()
    {
        if (m_clock.isValid())
            m_steps << m_clock.nsecsElapsed() / 1e3;
        if (!m_keys.ok() || m_steps.size() >= m_count) {
            report();
            QCoreApplication::exit(0);
            return;
        }
        // A pause between presses, as a person's are apart.
        m_guard.stop();
        QTimer::singleShot(30, this, [this] {
            m_painted = false;
            m_guard.start();
            m_clock.start();
            m_keys.press(m_steps.size() % 2 ? kLeft : kRight);
        });
    }

    void report()
    {
        if (m_steps.isEmpty()) {
            std::printf("no key steps (no X display with XTEST)\n");
            return;
        }
        QList<double> sorted = m_steps;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%.1f %.1f %lld\n", sorted[sorted.size() / 2], sorted.last(),
                    static_cast<long long>(sorted.size()));
        std::fflush(stdout);
    }

    FakeKeys m_keys;
    int m_count;
    QTimer m_guard;
    bool m_painted = false;
    QElapsedTimer m_clock;
    QList<double> m_steps;
};

// "--keys N" on the command line: N steps are wanted.
inline int requestedSteps(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--keys") == 0)
            return std::max(1, atoi(argv[i + 1]));
    return 0;
}

} // namespace keystep
