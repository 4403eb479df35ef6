// One running copy per bank folder. Every copy writes its whole bank from
// memory, so two copies on one folder would undo each other's deletions.
//
// The first copy holds a lock file in the bank folder and listens on a local
// socket in the user's runtime folder; a second start finds the lock held,
// asks the first copy to bring its window to the front, and ends. The lock
// of a copy that crashed names a process that is gone, and the next start
// takes it over. Qt Core and the system's sockets only: the program does
// not link Qt Network.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLockFile;
class QSocketNotifier;

class BankLock : public QObject
{
    Q_OBJECT
public:
    enum class Claim {
        Owner, // this process holds the folder
        Taken, // a running copy holds it
        Unlockable, // the folder cannot hold a lock (read-only, something else in the lock's place)
    };

    explicit BankLock(const QString &bankDir, QObject *parent = nullptr);
    ~BankLock() override;

    // Tries to take the folder for this process, without waiting.
    Claim claim();
    // Asks the copy that holds the folder to come to the front; true when it
    // answered within timeoutMs (it may still be starting: connecting is
    // retried until then).
    bool wakeOwner(int timeoutMs) const;

    QString lockPath() const { return m_lockPath; }
    QString socketPath() const { return m_socketPath; }

signals:
    // A second start asked for the window.
    void wakeRequested();

private:
    // The user's own folder for the socket, or empty when there is none.
    static QString privateFolder();
    static bool isPrivateFolder(const QString &path);
    void listen();
    void accept();

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    QSocketNotifier *m_notifier = nullptr;
};
