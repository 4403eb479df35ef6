// The copybook's figures: prints, asserts nothing.
//
//   lorvanta-bench-sheet [folder]
//
// First preview page (the dialog opened on the first-grade list and on a
// 20 MB bank, until its first page is painted), the PDF of the 100
// first-grade characters, and counting the pages of the 20 MB bank. With a
// folder, the PDF is left there to look at.
#include "core/bankfile.h"
#include "practice/frmsheet.h"
#include "resources/presets.h"
#include "sheet/sheet.h"
#include "tests/support/testsupport.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakRssKb()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

// About 20 MB of GBK: first-grade characters and pinyin items, cycled.
QString hugeBank()
{
    const QStringList chars = resources::firstGradeCharacters().split(QLatin1Char(' '));
    const QStringList pinyin
        = (resources::compoundFinals() + QLatin1Char(' ') + resources::wholeReadSyllables())
              .split(QLatin1Char(' '));
    QString text;
    text.reserve(15 * 1000 * 1000);
    for (int i = 0; text.size() < 14500 * 1000; ++i) {
        if (i)
            text += QLatin1Char(' ');
        text += i % 5 == 4 ? pinyin.at(i % pinyin.size()) : chars.at(i % chars.size());
    }
    return text;
}

// Opens the dialog and waits until its first page is on screen.
double firstPreviewMs(const QString &bank)
{
    QElapsedTimer t;
    t.start();
    frmSheet dialog(nullptr, bank, QString());
    bool painted = false;
    QObject::connect(dialog.preview, &SheetPreview::pageRendered, [&painted] { painted = true; });
    dialog.show();
    while (!painted && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    testsupport::prepareEnvironment();
    QApplication app(argc, argv);
    ui::installFontSubstitutes();
    setMessageAnswerer([](const QString &text, MessageIcon, MessageButtons) {
        std::printf("message: %s\n", qPrintable(text));
        return MessageAnswer::Ok;
    });
    const QString keep = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString firstGrade = resources::firstGradeCharacters();
    sheet::Options options;
    options.date = QDate::currentDate();

    // The first dialog of a run also loads the faces and opens the stroke data.
    std::printf("first preview page, first dialog of the run: %.0f ms (goal 500 ms)\n",
                firstPreviewMs(firstGrade));

    QList<double> preview;
    for (int i = 0; i < 5; ++i)
        preview << firstPreviewMs(firstGrade);
    std::printf("first preview page, first-grade list: %.0f ms (median of 5; goal 500 ms)\n",
                median(preview));

    {
        // Asked once when the dialog opens: is there a printer at all?
        QElapsedTimer t;
        t.start();
        const bool printer = frmSheet::printerAvailable();
        std::printf("printer lookup when the dialog opens: %.1f ms (%s)\n", t.nsecsElapsed() / 1e6,
                    printer ? "a printer is installed" : "no printer");
    }

    const QString huge = hugeBank();
    std::printf("large bank: %.1f MB as GBK\n", modPub::encodeGbk(huge).size() / 1e6);
    QList<double> hugePreview;
    for (int i = 0; i < 3; ++i)
        hugePreview << firstPreviewMs(huge);
    std::printf("first preview page, large bank: %.0f ms (median of 3; goal 500 ms)\n", median(hugePreview));

    {
        QElapsedTimer t;
        t.start();
        sheet::Sheet s(huge, options);
        while (!s.paginate(1000)) { }
        std::printf("counting the pages of the large bank: %.0f ms, %d pages; peak memory so far %ld MB\n",
                    t.nsecsElapsed() / 1e6, s.pageCount(), peakRssKb() / 1024);
        // What "保存为 PDF…" works out before it asks or refuses.
        t.restart();
        const qint64 estimate = sheet::estimatePdfBytes(s, 1, s.pageCount());
        std::printf("estimating the PDF of the large bank: %.0f ms, about %.1f GB\n", t.nsecsElapsed() / 1e6,
                    estimate / 1073741824.0);
    }

    for (const sheet::CellSize size :
         {sheet::CellSize::Small, sheet::CellSize::Medium, sheet::CellSize::Large}) {
        QList<double> times;
        qint64 bytes = 0;
        int pages = 0;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            sheet::Options o = options;
            o.cellSize = size;
            {
                QPdfWriter writer(&buffer);
                sheet::setUpPdfWriter(writer, o);
                sheet::Sheet s(firstGrade, o);
                pages = sheet::paintPages(s, writer);
            }
            times << t.nsecsElapsed() / 1e6;
            bytes = buffer.size();
            if (!keep.isEmpty() && i == 0 && size == sheet::CellSize::Medium)
                testsupport::writeBytes(keep + QStringLiteral("/first-grade.pdf"), buffer.data());
        }
        const char *name = size == sheet::CellSize::Small ? "small"
            : size == sheet::CellSize::Large              ? "large"
                                                          : "medium";
        std::printf("PDF of the 100 first-grade characters, %s cells: %.0f ms (median of 5; goal 2000 ms), "
                    "%d pages, %.0f KB\n",
                    name, median(times), pages, bytes / 1024.0);
    }
    return 0;
}
