// A private PulseAudio server with one null sink, and a recorder of what
// reaches that sink, for the read-aloud tests and the benchmark. Nothing here
// touches the desktop's own sound server.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace speechtest {

inline qint64 monotonicUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class PrivatePulse
{
public:
    static constexpr const char *sinkName = "lorvanta_null";

    ~PrivatePulse() { stop(); }

    // False when PulseAudio is not installed or does not come up.
    bool start()
    {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (exe.isEmpty() || !m_dir.isValid())
            return false;
        const QString dir = m_dir.path();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "XDG_CONFIG_HOME"})
            env.insert(QString::fromLatin1(name), dir);
        env.remove(QStringLiteral("PULSE_SERVER"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        // Ends with this process, even when a failed test kills it.
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(
            exe,
            {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
             QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-level=0"),
             QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socketPath(),
             QStringLiteral("--load=module-null-sink sink_name=") + QLatin1String(sinkName)});
        if (!m_process.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            if (QFile::exists(socketPath()) && pactl({QStringLiteral("info")}))
                return true;
            if (m_process.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(50);
        }
        return false;
    }

    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

    QString socketPath() const { return m_dir.path() + QStringLiteral("/native"); }
    QString server() const { return QStringLiteral("unix:") + socketPath(); }
    QString monitor() const { return QLatin1String(sinkName) + QStringLiteral(".monitor"); }

    // Makes this process's sound output go to the private server. Must run
    // before anything opens a sound device.
    void useInThisProcess() const { qputenv("PULSE_SERVER", server().toLocal8Bit()); }

    bool pactl(const QStringList &args) const
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("pactl"), QStringList {QStringLiteral("--server=") + server()} + args);
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

private:
    QTemporaryDir m_dir {QDir::tempPath() + QStringLiteral("/lorvanta-pulse-XXXXXX")};
    QProcess m_process;
};

// Records the null sink's monitor with parec and keeps, for every 5 ms of
// sound, when it arrived and how loud it was. Read on a thread of its own, so
// that a busy event loop does not shift the times.
class MonitorRecorder
{
public:
    struct Block {
        qint64 us; // arrival, monotonicUs()
        int peak; // largest absolute sample
    };
    static constexpr int rate = 22050;

    ~MonitorRecorder() { stop(); }

    bool start(const PrivatePulse &pulse) { return start(pulse.server(), pulse.monitor()); }

    // server: "unix:/path"; monitor: the source to record.
    bool start(const QString &serverAddress, const QString &monitorSource)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        const QByteArray server = "--server=" + serverAddress.toLocal8Bit();
        const QByteArray device = "--device=" + monitorSource.toLocal8Bit();
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            execlp("parec", "parec", server.constData(), device.constData(), "--raw", "--format=s16le",
                   "--rate=22050", "--channels=1", "--latency-msec=5", static_cast<char *>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        if (m_pid < 0) {
            ::close(fds[0]);
            return false;
        }
        m_fd = fds[0];
        m_reader = std::thread([this] { read(); });
        // parec is connected once the first silence arrives.
        const qint64 until = monotonicUs() + 5'000'000;
        while (monotonicUs() < until) {
            {
                std::lock_guard lock(m_mutex);
                if (!m_blocks.empty())
                    return true;
            }
            QThread::msleep(10);
        }
        return false;
    }

    void stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
        if (m_reader.joinable())
            m_reader.join();
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    std::vector<Block> blocksSince(qint64 us) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<Block> out;
        for (const Block &b : m_blocks)
            if (b.us >= us)
                out.push_back(b);
        return out;
    }

    // Whether anything louder than a whisper arrived after `us`.
    bool soundSince(qint64 us, int threshold = 1000) const
    {
        const std::vector<Block> blocks = blocksSince(us);
        return std::any_of(blocks.begin(), blocks.end(),
                           [threshold](const Block &b) { return b.peak > threshold; });
    }

    // Arrival of the last loud block after `us`, or -1.
    qint64 lastSoundSince(qint64 us, int threshold = 1000) const
    {
        qint64 last = -1;
        for (const Block &b : blocksSince(us))
            if (b.peak > threshold)
                last = b.us;
        return last;
    }

    qint64 firstSoundSince(qint64 us, int threshold = 1000) const
    {
        for (const Block &b : blocksSince(us))
            if (b.peak > threshold)
                return b.us;
        return -1;
    }

private:
    void read()
    {
        constexpr int blockBytes = rate / 200 * 2; // 5 ms
        QByteArray pending;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                return;
            pending.append(buf, n);
            const qint64 now = monotonicUs();
            while (pending.size() >= blockBytes) {
                int peak = 0;
                for (int i = 0; i + 1 < blockBytes; i += 2) {
                    qint16 v;
                    std::memcpy(&v, pending.constData() + i, 2);
                    peak = std::max(peak, std::abs(int(v)));
                }
                pending.remove(0, blockBytes);
                std::lock_guard lock(m_mutex);
                m_blocks.push_back({now, peak});
            }
        }
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::vector<Block> m_blocks;
};

} // namespace speechtest
