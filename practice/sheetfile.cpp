#include "practice/sheetfile.h"

#include "core/bankfile.h"
#include "core/keptfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace sheetfile {
namespace {
QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

QString refused(const QString &chosen, const QString &why)
{
    return QStringLiteral("字帖没有保存。\n不能写入“%1”：%2\n请换一个文件夹或文件名再试。")
        .arg(shown(chosen), why);
}
} // namespace

Target resolve(const QString &chosen)
{
    Target t;
    if (chosen.isEmpty()) {
        t.refusal = refused(chosen, QStringLiteral("没有文件名。"));
        return t;
    }
    // Links followed to the file they lead to, as the save would follow them.
    const QFileInfo chosenInfo(chosen);
    const bool viaLink = chosenInfo.isSymLink();
    const QString real = keptfile::reachedPath(chosen);
    if (real.isEmpty()) {
        const QFileInfo folder(chosenInfo.absolutePath());
        t.refusal = viaLink ? refused(chosen, QStringLiteral("这个链接指不到一个文件。"))
            : !folder.exists()
            ? refused(chosen, QStringLiteral("文件夹“%1”不存在。").arg(shown(folder.filePath())))
            : refused(chosen, QStringLiteral("“%1”不是文件夹。").arg(shown(folder.filePath())));
        return t;
    }
    const QFileInfo folder(QFileInfo(real).absolutePath());
    if (!folder.isDir()) {
        t.refusal = refused(chosen, QStringLiteral("“%1”不是文件夹。").arg(shown(folder.filePath())));
        return t;
    }
    struct stat st;
    const bool exists = ::stat(QFile::encodeName(real).constData(), &st) == 0;
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
    if (const std::optional<keptfile::OwnFile> own = keptfile::ownFileAt(real)) {
        t.refusal = refused(chosen,
                            QStringLiteral("它就是本程序自己的文件“%1”（%2），字帖不能保存在它上面。")
                                .arg(shown(own->path), keptfile::kindName(own->kind)));
        return t;
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
    return keptfile::failureCause(file, diskFull, QStringLiteral("这份字帖"));
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
