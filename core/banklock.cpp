#include "core/banklock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr char answer = '!';

bool socketAddress(const QString &path, sockaddr_un &address)
{
    const QByteArray name = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

// Connects a non-blocking socket, waiting for the connection no longer than
// the deadline. A listener whose queue is full says EAGAIN at once: that is
// waited out too, a little at a time.
bool connectBy(int fd, const sockaddr_un &address, const QDeadlineTimer &deadline)
{
    while (true) {
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(qMin<qint64>(20, qMax<qint64>(0, deadline.remainingTime())));
            continue;
        }
        if (errno != EINPROGRESS)
            return false;
        pollfd p {fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (r <= 0)
            return false;
        int error = 0;
        socklen_t length = sizeof error;
        return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
}

// Waits for one byte on a connected socket until the deadline.
bool readAnswer(int fd, const QDeadlineTimer &deadline)
{
    pollfd p {fd, POLLIN, 0};
    while (true) {
        const int r = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        char c = 0;
        return ::read(fd, &c, 1) == 1 && c == answer;
    }
}
} // namespace

BankLock::BankLock(const QString &bankDir, QObject *parent) : QObject(parent)
{
    const QString dir = QDir(bankDir).absolutePath();
    m_lockPath = dir + QStringLiteral("/.lorvanta.lock");
    // The socket is named after the folder, in a place only the user can
    // write; a folder path could be longer than a socket address may be.
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    const QByteArray key
        = QCryptographicHash::hash((canonical.isEmpty() ? dir : canonical).toUtf8(), QCryptographicHash::Sha1)
              .toHex()
              .left(20);
    // No private folder, no socket: the lock still guards the bank.
    const QString folder = privateFolder();
    if (!folder.isEmpty())
        m_socketPath
            = folder + QStringLiteral("/lorvanta-") + QString::fromLatin1(key) + QStringLiteral(".socket");
}

QString BankLock::privateFolder()
{
    // The runtime folder is the user's own (Qt checks its owner and mode).
    // Without one, a folder of the program's own in the temporary folder,
    // made private and checked as Qt checks its own: a name in a shared
    // folder could be taken, or answered, by another user.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/lorvanta-") + QString::number(::geteuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
}

bool BankLock::isPrivateFolder(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & 0077) == 0;
}

BankLock::~BankLock()
{
    if (m_listener >= 0) {
        ::close(m_listener);
        QFile::remove(m_socketPath);
    }
    // m_lock removes the lock file as it goes.
}

BankLock::Claim BankLock::claim()
{
    auto lock = std::make_unique<QLockFile>(m_lockPath);
    // Held for the whole run: only a copy that is gone leaves a stale lock.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        listen();
        return Claim::Owner;
    }
    if (lock->error() != QLockFile::LockFailedError)
        return Claim::Unlockable;
    // Held: by a running copy when the lock names one. Something else in the
    // lock's place (a folder, a file of garbage) holds nothing; the copy that
    // wrote it may be between creating and filling it, so it gets a moment.
    for (int i = 0; i < 10; ++i) {
        qint64 pid = 0;
        QString host, app;
        if (lock->getLockInfo(&pid, &host, &app))
            return Claim::Taken;
        QThread::msleep(20);
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            listen();
            return Claim::Owner;
        }
    }
    return Claim::Unlockable;
}

void BankLock::listen()
{
    sockaddr_un address;
    if (!socketAddress(m_socketPath, address))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    // Whatever socket is left there belongs to a copy that is gone: this one holds the lock.
    ::unlink(address.sun_path);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::listen(fd, 4) != 0) {
        ::close(fd);
        return;
    }
    m_listener = fd;
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &BankLock::accept);
}

void BankLock::accept()
{
    while (true) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            break;
        // Connecting is the whole request; the answer says it arrived.
        const char c = answer;
        [[maybe_unused]] const ssize_t sent = ::send(fd, &c, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
        emit wakeRequested();
    }
}

bool BankLock::wakeOwner(int timeoutMs) const
{
    sockaddr_un address;
    if (!socketAddress(m_socketPath, address))
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        // Non-blocking: a copy that is stopped or frozen never accepts, and a
        // full queue of waiting starts would otherwise hold this one in
        // connect() without end.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const bool answered = connectBy(fd, address, deadline) && readAnswer(fd, deadline);
        ::close(fd);
        if (answered)
            return true;
        if (deadline.hasExpired())
            return false;
        // Not listening yet (still starting), or gone meanwhile.
        QThread::msleep(qMin<qint64>(50, qMax<qint64>(0, deadline.remainingTime())));
    }
}
