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
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    m_socketPath
        = runtime + QStringLiteral("/lorvanta-") + QString::fromLatin1(key) + QStringLiteral(".socket");
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
    QDir().mkpath(QFileInfo(m_socketPath).absolutePath());
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
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const bool connected
            = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
        const bool answered = connected && readAnswer(fd, deadline);
        ::close(fd);
        if (answered)
            return true;
        if (deadline.hasExpired())
            return false;
        // Not listening yet (still starting), or gone meanwhile.
        QThread::msleep(50);
    }
}
