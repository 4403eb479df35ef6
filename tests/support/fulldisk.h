// A tiny tmpfs of its own (needs root), filled to the last byte by fill():
// the real conditions of a full disk, for the tests of every bank write.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class FullDisk
{
public:
    // `size` as tmpfs takes it ("64k", "8m").
    explicit FullDisk(const char *size = "64k");
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    // False where mounting is not allowed: the test then skips.
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString filler() const { return filePath(QStringLiteral("filler")); }
    // Writes the filler file until the file system refuses; true when it is full.
    bool fill() const;

private:
    QTemporaryDir m_dir;
    bool m_mounted;
};
} // namespace testsupport
