#include "practice/sheetexport.h"

#include "core/bankfile.h"
#include "practice/sheetfile.h"
#include "practice/sheetprinting.h"
#include "widgets/filedialog.h"
#include "widgets/messagebox.h"

#include <QCursor>
#include <QMenu>
#include <QPageSize>
#include <QProgressDialog>
#include <QStandardPaths>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace sheetexport {

namespace {
// A message of the copybook's, for other pages under their own name.
QString named(const sheet::Pages &pages, QString text)
{
    return text.replace(QStringLiteral("字帖"), pages.title());
}

// "1.2 MB": the size of a file, rounded as a person reads it.
QString sizeText(qint64 bytes)
{
    const double kb = bytes / 1024.0, mb = kb / 1024.0, gb = mb / 1024.0;
    if (gb >= 1)
        return QStringLiteral("%1 GB").arg(gb, 0, 'f', gb < 10 ? 1 : 0);
    if (mb >= 1)
        return QStringLiteral("%1 MB").arg(mb, 0, 'f', mb < 10 ? 1 : 0);
    return QStringLiteral("%1 KB").arg(std::max(1.0, std::round(kb)), 0, 'f', 0);
}

// Whether the file's bytes are all on the disk: the size it has there is what
// was written, and the disk has taken it (fsync). A file system that cannot
// sync at all is no failure.
bool onDisk(QSaveFile &file, qint64 bytes)
{
    const int fd = file.handle();
    if (fd < 0)
        return false;
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_size == bytes && modPub::syncedToDisk(fd);
}

// The pages from `first` to `last` checked against the room on the disk and,
// when they are many, the parent's yes. False when they are not to be written.
bool mayWrite(QWidget *owner, sheet::Pages &pages, const QString &targetPath, int first, int last,
              QString *status)
{
    const int count = last - first + 1;
    const QString pageText
        = pages.isPaginated() ? QString::number(count) : QStringLiteral("约 %1").arg(count);
    // A few pages are written into memory for this: a moment on a large bank.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const qint64 estimate = sheet::estimatePdfBytes(pages, first, count);
    QApplication::restoreOverrideCursor();
    const QString folder = QFileInfo(targetPath).absolutePath();
    const QStorageInfo storage(folder);
    const qint64 room = storage.bytesAvailable();
    // A read-only place is said so when the file cannot be opened.
    if (!storage.isReadOnly() && room >= 0 && estimate > room) {
        showMessage(owner,
                    named(pages,
                          QStringLiteral("字帖没有保存：%1 页的 PDF 要约 %2，“%3”只剩 %4 空间。\n"
                                         "请在“PDF 的页”里少选一些页，或者换一个空间大的地方。"))
                        .arg(pageText, sizeText(estimate), QDir::toNativeSeparators(folder), sizeText(room)),
                    MessageIcon::Information, MessageButtons::Ok);
        return false;
    }
    if (count > askAbovePages
        && showMessage(owner,
                       QStringLiteral("这份 PDF 有 %1 页，文件约 %2，写完要一些时间。\n要保存这么多页吗？\n"
                                      "（选“否”可以在“PDF 的页”里只选一部分页。）")
                           .arg(pageText, sizeText(estimate)),
                       MessageIcon::Information, MessageButtons::YesNo)
            != MessageAnswer::Yes) {
        *status = QString(QStringLiteral("没有保存。"));
        return false;
    }
    return true;
}

// Writes the pages into a file beside `targetPath` that takes its place only
// when every byte is on the disk. `path` is the name chosen, for the messages.
bool writeFile(QWidget *owner, sheet::Pages &pages, const QString &path, const QString &targetPath, int first,
               int last, const Runner &run, QString *status)
{
    // Written beside the target and put in its place only when complete, so
    // a failed or cancelled save leaves an existing file as it was.
    QSaveFile file(targetPath);
    const bool opened = file.open(QIODevice::WriteOnly);
    // What the name leads to is looked at again now that the file is open.
    if (!opened || sheetfile::resolve(path).path != targetPath) {
        const bool full = file.error() == QFileDevice::ResourceError;
        const QString cause = sheetfile::failureCause(targetPath, full);
        file.cancelWriting();
        showMessage(owner, sheetfile::notSavedText(path, cause, opened ? QString() : file.errorString()),
                    MessageIcon::Information, MessageButtons::Ok);
        return false;
    }
    bool cancelled = false;
    sheet::PdfResult written;
    run(
        named(pages, QStringLiteral("正在生成字帖…")),
        [&](const sheet::Progress &progress) {
            written = sheet::writePdf(pages, file, progress, first, last);
            return written.pages;
        },
        &cancelled);
    if (cancelled && !written.refused) {
        file.cancelWriting();
        *status = QString(QStringLiteral("已取消，没有保存。"));
        return false;
    }
    // Every byte of the PDF must be in the file before it replaces anything.
    if (!written.complete || file.error() != QFileDevice::NoError || !file.flush()
        || !onDisk(file, written.bytes) || !file.commit()) {
        const bool full = file.error() == QFileDevice::ResourceError;
        const QString why = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        QString cause = sheetfile::failureCause(targetPath, full);
        if (cause.isEmpty() && written.pages == 0)
            cause = QStringLiteral("选的页里没有可以保存的页。");
        file.cancelWriting();
        showMessage(owner, sheetfile::notSavedText(path, cause, why), MessageIcon::Information,
                    MessageButtons::Ok);
        return false;
    }
    *status = QString(
        QStringLiteral("已保存（%1 页）：%2").arg(written.pages).arg(QDir::toNativeSeparators(path)));
    return true;
}
} // namespace

bool savePdf(QWidget *owner, sheet::Pages &pages, const QString &path, int first, int lastAsked,
             const Runner &run, QString *status)
{
    if (pages.isEmpty())
        return false;
    // The bank, the settings and the program's files are never written over,
    // also not through a link.
    const sheetfile::Target target = sheetfile::resolve(path);
    if (!target.refusal.isEmpty()) {
        showMessage(owner, target.refusal, MessageIcon::Information, MessageButtons::Ok);
        return false;
    }

    // The pages asked for. A bank still being counted is judged by the pages
    // it will about have, so that a huge one is stopped before any work.
    const int expected = pages.expectedPageCount();
    const int last = lastAsked == 0 ? expected : std::min(lastAsked, expected);
    if (first > last) {
        showMessage(
            owner,
            named(pages,
                  QStringLiteral("字帖没有保存：这份字帖只有 %1 页，请在“PDF 的页”里选这些页中的一部分。"))
                .arg(expected),
            MessageIcon::Information, MessageButtons::Ok);
        return false;
    }
    return mayWrite(owner, pages, target.path, first, last, status)
        && writeFile(owner, pages, path, target.path, first, last, run, status);
}

bool printTo(QWidget *owner, sheet::Pages &pages, SheetPrinter &printer, const Runner &run, QString *status)
{
    if (pages.isEmpty())
        return false;
    const int first = printer.firstPage();
    const int last = printer.lastPage();
    bool cancelled = false;
    const int printed = run(
        named(pages, QStringLiteral("正在打印字帖…")),
        [&](const sheet::Progress &progress) {
            return sheet::paintPages(
                pages, printer.device(),
                [&](int done, int total) {
                    if (progress(done, total))
                        return true;
                    printer.abort();
                    return false;
                },
                first, last);
        },
        &cancelled);
    if (cancelled) {
        *status = QString(QStringLiteral("打印已取消。"));
        return false;
    }
    if (printed <= 0 || printer.failed()) {
        showMessage(
            owner,
            named(pages, QStringLiteral("字帖没有打印出来：打印机不能接收这份文档。可以先保存为 PDF。")),
            MessageIcon::Information, MessageButtons::Ok);
        return false;
    }
    *status = QString(QStringLiteral("已送到打印机（%1 页）。").arg(printed));
    return true;
}

namespace {
// A progress box for pages counted already: painting is all there is to show.
int withProgress(QWidget *owner, const QString &label, const std::function<int(const sheet::Progress &)> &job,
                 bool *cancelled)
{
    QProgressDialog box(label, QStringLiteral("取消"), 0, 1000, owner);
    box.setWindowModality(Qt::WindowModal);
    box.setMinimumDuration(400);
    const int result = job([&](int done, int total) {
        if (total > 0)
            box.setValue(std::clamp(1000 * done / total, 0, 999));
        QCoreApplication::processEvents();
        return !box.wasCanceled();
    });
    *cancelled = box.wasCanceled();
    return result;
}
} // namespace

void printOrSave(QWidget *owner, sheet::Pages &pages, const QString &name)
{
    if (pages.isEmpty())
        return;
    const Runner run = [owner](const QString &label, const auto &job, bool *cancelled) {
        return withProgress(owner, label, job, cancelled);
    };
    SheetPrintingFactory *printing = sheetprinting::factory();
    QMenu menu(owner);
    QAction *print = menu.addAction(QStringLiteral("打印…"));
    print->setEnabled(printing && printing->printerAvailable());
    QAction *pdf = menu.addAction(QStringLiteral("保存为 PDF…"));
    QAction *chosen = menu.exec(QCursor::pos());
    QString status;
    if (chosen == print) {
        const QPageSize paper(pages.options().paper == sheet::Paper::Letter ? QPageSize::Letter
                                                                            : QPageSize::A4);
        if (const std::unique_ptr<SheetPrinter> printer
            = printing->askPrinter(owner, QStringLiteral("打印") + name, paper, pages.pageCount()))
            printTo(owner, pages, *printer, run, &status);
    } else if (chosen == pdf) {
        QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (dir.isEmpty() || !QFileInfo(dir).isDir())
            dir = QDir::homePath();
        QString path = FileDialog::instance().getSaveFileName(
            owner, QStringLiteral("保存为 PDF"),
            dir + u'/' + name + u'-' + pages.options().date.toString(QStringLiteral("yyyy-MM-dd"))
                + QStringLiteral(".pdf"),
            QStringLiteral("PDF 文件 (*.pdf)"));
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
            path += QStringLiteral(".pdf");
        savePdf(owner, pages, path, 1, 0, run, &status);
    }
}

} // namespace sheetexport
