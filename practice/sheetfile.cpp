#include "practice/sheetfile.h"

#include "core/bankfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace sheetfile {
namespace {
// Below this much room a failed write is a full disk.
constexpr qint64 kFullBelowBytes = 64 * 1024;
constexpr int kMaxLinks = 40;

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

QString refused(const QString &chosen, const QString &why)
{
    return QStringLiteral("字帖没有保存。\n不能写入“%1”：%2\n请换一个文件夹或文件名再试。")
        .arg(shown(chosen), why);
}

bool statOf(const QString &path, struct stat &st)
{
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

// The link's target as written in it, made absolute against the link's folder.
QString linkTarget(const QString &link)
{
    QByteArray buf(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf.data(), size_t(buf.size()));
    if (n <= 0)
        return QString();
    const QString target = QFile::decodeName(buf.left(n));
    return QFileInfo(target).isAbsolute() ? target
                                          : QFileInfo(link).absolutePath() + QLatin1Char('/') + target;
}

bool isLink(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}
} // namespace

QStringList programFiles()
{
    const QString settings = QSettings(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA")).fileName();
    QStringList files {modPub::bankPath(), modPub::appDir() + modPub::bankFileName(), settings,
                       settings + QStringLiteral(".lock"), QCoreApplication::applicationFilePath()};
    for (const QString &dir :
         {modPub::appDir(), modPub::appDir() + QStringLiteral(LORVANTA_MODULE_RELDIR "/")})
        for (const QString &name : QDir(dir).entryList({QStringLiteral("lorvanta*")}, QDir::Files))
            files << dir + name;
    return files;
}

Target resolve(const QString &chosen)
{
    Target t;
    if (chosen.isEmpty()) {
        t.refusal = refused(chosen, QStringLiteral("没有文件名。"));
        return t;
    }
    // Links followed to the file they lead to, as the save would follow them.
    QString file = QFileInfo(chosen).absoluteFilePath();
    bool viaLink = false;
    for (int depth = 0; isLink(file); ++depth) {
        const QString next = linkTarget(file);
        if (depth == kMaxLinks || next.isEmpty()) {
            t.refusal = refused(chosen, QStringLiteral("这个链接指不到一个文件。"));
            return t;
        }
        file = next;
        viaLink = true;
    }
    const QFileInfo info(file);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists()) {
        t.refusal = refused(chosen, QStringLiteral("文件夹“%1”不存在。").arg(shown(folder.filePath())));
        return t;
    }
    if (!folder.isDir()) {
        t.refusal = refused(chosen, QStringLiteral("“%1”不是文件夹。").arg(shown(folder.filePath())));
        return t;
    }
    const QString real = folder.canonicalFilePath() + QLatin1Char('/') + info.fileName();
    struct stat st;
    const bool exists = statOf(real, st);
    if (exists && S_ISDIR(st.st_mode)) {
        t.refusal = refused(chosen, QStringLiteral("这是一个文件夹，不是文件。"));
        return t;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        t.refusal = refused(chosen, QStringLiteral("这不是一个普通文件。"));
        return t;
    }
    // The program's files by their real paths, and by the file itself for a
    // second name (a hard link) of one of them.
    const QStringList own = programFiles();
    for (qsizetype i = 0; i < own.size(); ++i) {
        struct stat ost;
        const QString ownReal = QFileInfo(own.at(i)).canonicalFilePath();
        if ((!ownReal.isEmpty() && ownReal == real)
            || (exists && statOf(own.at(i), ost) && ost.st_dev == st.st_dev && ost.st_ino == st.st_ino)) {
            // programFiles() lists the bank twice, then the settings and their lock.
            const QString kind = i < 2 ? QStringLiteral("生字库")
                : i < 4                ? QStringLiteral("设置")
                                       : QStringLiteral("程序文件");
            t.refusal = refused(chosen,
                                QStringLiteral("它就是本程序自己的文件“%1”（%2），字帖不能保存在它上面。")
                                    .arg(shown(own.at(i)), kind));
            return t;
        }
    }
    if (!real.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        t.refusal
            = refused(chosen,
                      viaLink ? QStringLiteral("这是一个链接，它指向的“%1”不是 PDF 文件。").arg(shown(real))
                              : QStringLiteral("字帖只保存成以 .pdf 结尾的文件。"));
        return t;
    }
    t.path = real;
    return t;
}

QString failureCause(const QString &file, bool diskFull)
{
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    const QFileInfo dir(folder);
    if (!dir.exists())
        return QStringLiteral("文件夹“%1”不存在。").arg(shown(folder));
    if (!dir.isDir())
        return QStringLiteral("“%1”不是文件夹。").arg(shown(folder));
    const QByteArray name = QFile::encodeName(folder);
    struct statvfs vfs;
    const bool known = ::statvfs(name.constData(), &vfs) == 0;
    if (known && (vfs.f_flag & ST_RDONLY))
        return QStringLiteral("这个位置是只读的（比如写保护的 U 盘或光盘），不能往里面写文件。");
    if (::access(name.constData(), W_OK | X_OK) != 0 && (errno == EACCES || errno == EPERM))
        return QStringLiteral("没有在这个文件夹里写文件的权限。");
    if (info.exists() && ::access(QFile::encodeName(file).constData(), W_OK) != 0
        && (errno == EACCES || errno == EPERM))
        return QStringLiteral("没有改写这个文件的权限。");
    if (diskFull || (known && qint64(vfs.f_bavail) * qint64(vfs.f_frsize) < kFullBelowBytes))
        return QStringLiteral("磁盘已满，放不下这份字帖。");
    return QString();
}

QString notSavedText(const QString &shownPath, const QString &cause, const QString &systemText)
{
    QString text = QStringLiteral("字帖没有保存。\n无法写入“%1”：%2\n请换一个文件夹或文件名再试。")
                       .arg(shown(shownPath), cause.isEmpty() ? QStringLiteral("写入时出错。") : cause);
    if (!systemText.isEmpty())
        text += QStringLiteral("\n（系统信息：%1）").arg(systemText);
    return text;
}
} // namespace sheetfile
