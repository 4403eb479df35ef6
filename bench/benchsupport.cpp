#include "bench/benchsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {
// A program's argument vector, ending in a null pointer.
QList<char *> argvOf(const QByteArray &exe, const QList<QByteArray> &args)
{
    QList<char *> argv {const_cast<char *>(exe.constData())};
    for (const QByteArray &a : args)
        argv << const_cast<char *>(a.constData());
    argv << nullptr;
    return argv;
}

pid_t spawnQuiet(const QList<QByteArray> &args)
{
    QList<char *> argv = argvOf(args.first(), args.mid(1));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const bool ok = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return ok ? pid : 0;
}
} // namespace

ChildRun runChild(const QByteArray &exe, const QList<QByteArray> &args, QByteArray *out)
{
    ChildRun run;
    QList<char *> argv = argvOf(exe, args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (out && pipe(pipeFds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    }
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, exe.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0) {
        close(pipeFds[1]);
        char buf[256];
        ssize_t n = 0;
        while (spawned == 0 && (n = read(pipeFds[0], buf, sizeof buf)) > 0)
            out->append(buf, n);
        close(pipeFds[0]);
    }
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) < 0)
        return run;
    run.wallMs = t.nsecsElapsed() / 1e6;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.peakKb = usage.ru_maxrss;
    return run;
}

LongChild::LongChild(const QByteArray &exe, const QList<QByteArray> &args)
{
    QList<char *> argv = argvOf(exe, args);
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawn(&m_pid, exe.constData(), &actions, nullptr, argv.data(), environ) != 0)
        m_pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    m_out = fds[0];
}

LongChild::~LongChild() { stop(); }

bool LongChild::waitReady(int timeoutMs, QByteArray *rest)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    const auto done = [&got] { return got.contains("ready") && got.indexOf('\n', got.indexOf("ready")) > 0; };
    while (m_pid > 0 && !done() && t.elapsed() < timeoutMs) {
        pollfd p {m_out, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[256];
        const ssize_t n = read(m_out, buf, sizeof buf);
        if (n <= 0)
            return false;
        got.append(buf, n);
    }
    if (!done())
        return false;
    if (rest) {
        const qsizetype from = got.indexOf("ready") + 5;
        *rest = got.mid(from, got.indexOf('\n', from) - from).trimmed();
    }
    return true;
}

LongChild::Counts LongChild::counts() const
{
    Counts c;
    clockid_t clock {};
    timespec ts {};
    if (clock_getcpuclockid(m_pid, &clock) == 0 && clock_gettime(clock, &ts) == 0)
        c.cpuMs = ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(m_pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks + QLatin1Char('/') + task + QStringLiteral("/status"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                c.switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return c;
}

void LongChild::stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = 0;
    }
    if (m_out >= 0) {
        close(m_out);
        m_out = -1;
    }
}

PrivateDisplay::PrivateDisplay()
{
    QByteArray range = qgetenv("LORVANTA_BENCH_DISPLAYS");
    if (range.isEmpty())
        range = qgetenv("LORVANTA_E2E_DISPLAYS");
    if (range.isEmpty())
        range = "90-94";
    const QList<QByteArray> ends = range.split('-');
    const int first = ends.value(0).toInt();
    const int last = ends.size() > 1 ? ends[1].toInt() : first;
    for (int n = first; n <= last && m_display.isEmpty(); ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        const QByteArray name = ":" + QByteArray::number(n);
        m_server = spawnQuiet({"Xvfb", name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"});
        for (int i = 0; i < 100 && m_server > 0; ++i) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
                m_display = name;
                break;
            }
            if (waitpid(m_server, nullptr, WNOHANG) == m_server) {
                m_server = 0; // taken meanwhile
                break;
            }
            usleep(50000);
        }
    }
    if (m_display.isEmpty())
        return;
    qputenv("DISPLAY", m_display);
    usleep(200000);
    m_wm = spawnQuiet({"openbox", "--sm-disable"});
    usleep(500000);
}

PrivateDisplay::~PrivateDisplay()
{
    for (pid_t pid : {m_wm, m_server}) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
}

} // namespace bench
