// What the benchmark's figures share: child processes measured by the
// kernel, a private X display with a window manager, medians.
#pragma once

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <sys/types.h>

namespace bench {

template <typename T> T median(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T() : values[values.size() / 2];
}

struct ChildRun {
    double wallMs = 0;
    double cpuMs = 0;
    long peakKb = 0;
};

// One whole process, from spawn to exit: wall time, CPU time (user + system)
// and peak resident memory, as the kernel counts them.
ChildRun runChild(const QByteArray &exe, const QList<QByteArray> &args = {}, QByteArray *out = nullptr);

// A process that stays until stopped, for figures taken while it runs.
class LongChild
{
public:
    LongChild(const QByteArray &exe, const QList<QByteArray> &args);
    ~LongChild();
    bool started() const { return m_pid > 0; }
    // Waits for the line the child prints once it is where it should be,
    // "ready" and what follows on the line, put into `rest`.
    bool waitReady(int timeoutMs, QByteArray *rest = nullptr);
    // CPU time (all threads, ns) and context switches, voluntary and not, of
    // all its threads: every time it was woken or put aside.
    struct Counts {
        double cpuMs = 0;
        long long switches = 0;
    };
    Counts counts() const;
    void stop();

private:
    pid_t m_pid = 0;
    int m_out = -1;
};

// A private Xvfb with openbox for the children (DISPLAY is set for them);
// stopped by the destructor.
class PrivateDisplay
{
public:
    PrivateDisplay();
    ~PrivateDisplay();
    bool ok() const { return !m_display.isEmpty(); }
    QByteArray name() const { return m_display; }

private:
    QByteArray m_display;
    pid_t m_server = 0;
    pid_t m_wm = 0;
};

} // namespace bench
