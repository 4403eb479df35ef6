#include "tests/support/fulldisk.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

FullDisk::FullDisk(const char *size)
    : m_mounted(::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                        (QByteArray("size=") + size).constData())
                == 0)
{ }

FullDisk::~FullDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool FullDisk::fill() const
{
    const int fd = ::open(QFile::encodeName(filler()).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const QByteArray block(512, 'x');
    bool full = false;
    for (int i = 0; i < 100000 && !full; ++i) {
        if (::write(fd, block.constData(), size_t(block.size())) < 0)
            full = errno == ENOSPC;
    }
    ::close(fd);
    return full;
}
} // namespace testsupport
