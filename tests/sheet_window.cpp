// The copybook dialog as a parent meets it: from the practice card's context
// menu or Ctrl+P, its options remembered, the preview of a huge bank, saving
// as PDF (the save dialog, failures that lose nothing, cancelling) and
// printing.
#include "core/bankfile.h"
#include "core/keptfile.h"
#include "core/modules.h"
#include "core/clock.h"
#include "core/settings.h"
#include "editor/frmset.h"
#include "practice/frmsheet.h"
#include "practice/printing/printertarget.h"
#include "practice/sheetprinting.h"
#include "resources/presets.h"
#include "tests/support/fulldisk.h"
#include "tests/support/practicefixture.h"
#include "widgets/filedialog.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>

#include <sys/mount.h>
#include <unistd.h>

using testsupport::child;

namespace {
const QString nothingToPrint = QStringLiteral("生字库里没有可以打印的字或拼音。");
const QString notSaved = QStringLiteral("字帖没有保存");

frmSheet *openSheet()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *s = qobject_cast<frmSheet *>(w); s && s->isVisible())
            return s;
    return nullptr;
}

void closeSheets()
{
    while (frmSheet *s = openSheet()) {
        s->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

int pdfPageCount(const QByteArray &pdf)
{
    return int(QString::fromLatin1(pdf).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

// The first n characters of the first-grade list: none has more than ten
// strokes, so each takes one row of a medium A4 page (14 rows).
QString chars(int n)
{
    return resources::firstGradeCharacters().split(QLatin1Char(' ')).mid(0, n).join(QLatin1Char(' '));
}

// A key pressed in the practice window, as the window system delivers it.
void press(frmMain *w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(w->windowHandle(), key, modifiers);
}

// Page 1 of a PDF at 50 dpi (pdftoppm).
QImage firstPage(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-f"), QStringLiteral("1"),
             QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
             pdf, pdf});
    p.waitForFinished(60000);
    return QImage(pdf + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// Right-clicks a card widget; `inMenu` sees the menu while it is open and
// picks the action to trigger (or none).
void rightClick(QWidget *card, std::function<QAction *(QMenu *)> inMenu)
{
    QTimer::singleShot(0, card, [inMenu] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QAction *pick = menu ? inMenu(menu) : nullptr;
        if (!menu)
            return;
        if (pick) {
            menu->setActiveAction(pick);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    const QPoint at = card->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, card->mapToGlobal(at));
    QApplication::sendEvent(card, &event);
}
} // namespace

class SheetWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { clearSettings(); }
    void cleanup() { closeSheets(); }

    void ctrlPOpensTheSheetAndNoKeyOfThePracticeWindowChanges()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 地 ɑ"));
        frmMain *w = f.open();
        press(w, Qt::Key_P);
        QVERIFY(!openSheet());
        press(w, Qt::Key_P, Qt::ControlModifier);
        frmSheet *s = openSheet();
        QVERIFY(s);
        QCOMPARE(s->parentWidget(), w);
        QCOMPARE(s->windowModality(), Qt::WindowModal);
        QVERIFY(s->currentSheet()->isPaginated());
        QCOMPARE(s->currentSheet()->pageCount(), 1);
        QCOMPARE(s->lblPage->text(), QStringLiteral("第 1 页 / 共 1 页"));
        // The practice window stayed where it was.
        QCOMPARE(w->deck().index(), 1);
        QCOMPARE(w->caption(), QStringLiteral("天"));
        QVERIFY(f.shown.isEmpty());
        s->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!openSheet());
        // The practice window's keys still work.
        press(w, Qt::Key_Right);
        QCOMPARE(w->caption(), QStringLiteral("地"));
        press(w, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(w->caption(), QStringLiteral("ɑ"));
    }

    void rightClickOnTheCardOffersTheEntry()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 地 ɑ"));
        frmMain *w = f.open();
        for (QWidget *card : {static_cast<QWidget *>(child<QLabel>(w, "lblChar")), static_cast<QWidget *>(child<QLabel>(w, "lblBack"))}) {
            QStringList texts;
            bool enabled = false;
            rightClick(card, [&](QMenu *menu) -> QAction * {
                for (QAction *a : menu->actions())
                    texts << a->text();
                enabled = menu->actions().value(0)->isEnabled();
                return menu->actions().value(0);
            });
            QCOMPARE(texts.value(0), QStringLiteral("打印字帖…"));
            QVERIFY(texts.contains(QStringLiteral("练习书写…")));
            // The card's dictation entries follow.
            QVERIFY(texts.contains(QStringLiteral("听写…")) && texts.contains(QStringLiteral("练习错字本")));
            QVERIFY(enabled);
            frmSheet *s = openSheet();
            QVERIFY(s);
            QCOMPARE(s->currentSheet()->pageCount(), 1);
            closeSheets();
        }
        // A right button click on the card is no click of the card.
        QTest::mouseClick(child<QLabel>(w, "lblChar"), Qt::RightButton);
        QTest::mouseClick(child<QLabel>(w, "lblBack"), Qt::RightButton);
        QCOMPARE(w->deck().index(), 1);
        QVERIFY(f.shown.isEmpty());
    }

    void anEmptyBankGreysTheEntryAndCtrlPSaysSo()
    {
        PracticeFixture f;
        f.writeBank("   ");
        frmMain *w = f.open();
        press(w, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(!openSheet());
        QCOMPARE(f.texts(), QStringList {nothingToPrint});
        bool enabled = true;
        rightClick(child<QLabel>(w, "lblBack"), [&](QMenu *menu) -> QAction * {
            enabled = menu->actions().value(0)->isEnabled();
            return nullptr;
        });
        QVERIFY(!enabled);
        QVERIFY(!openSheet());
        QCOMPARE(f.bankBytes(), QByteArray("   "));
    }

    void optionsAreRememberedAndTheCopiesFollowTheColumns()
    {
        PracticeFixture f;
        f.writeBankText(chars(30));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        QVERIFY(s);
        // Medium A4: 12 columns, so 0 to 11 copies or the whole row; three pages.
        QCOMPARE(s->cboCopies->count(), 13);
        QCOMPARE(s->cboCopies->currentText(), QStringLiteral("整行"));
        QCOMPARE(s->currentSheet()->pageCount(), 3);
        s->cboCell->setCurrentIndex(2);
        QCOMPARE(s->cboCopies->count(), 11);
        s->cboCopies->setCurrentIndex(3);
        s->cboRows->setCurrentIndex(1);
        s->chkHeading->setChecked(false);
        s->chkStrokes->setChecked(false);
        QCOMPARE(s->currentSheet()->options().cellSize, sheet::CellSize::Large);
        QCOMPARE(s->currentSheet()->options().tracingCopies, 3);
        // Two rows each, 12 rows a page: six characters a page.
        QCOMPARE(s->currentSheet()->pageCount(), 5);
        QCOMPARE(modPub::getSetting(QStringLiteral("sheet"), QStringLiteral("cell")),
                 QStringLiteral("large"));
        QCOMPARE(modPub::getSetting(QStringLiteral("sheet"), QStringLiteral("copies")), QStringLiteral("3"));
        closeSheets();

        s = sheetwindow::open(w, w->deck().text(), w->tag());
        QCOMPARE(s->cboCell->currentIndex(), 2);
        QCOMPARE(s->cboCopies->currentText(), QStringLiteral("3"));
        QCOMPARE(s->cboRows->currentText(), QStringLiteral("2"));
        QVERIFY(!s->chkHeading->isChecked());
        QVERIFY(!s->chkStrokes->isChecked());
        // Small cells hold more columns; the chosen number of copies stays.
        s->cboCell->setCurrentIndex(0);
        QCOMPARE(s->cboCopies->count(), 16);
        QCOMPARE(s->cboCopies->currentText(), QStringLiteral("3"));
        // The practice window's own settings are as they were.
        QVERIFY(modPub::getSetting(QStringLiteral("main"), QStringLiteral("jiange")).isEmpty());
    }

    void onlyTheItemShownAndThePages()
    {
        PracticeFixture f;
        f.writeBankText(chars(30) + QStringLiteral(" zhuō-zi"));
        frmMain *w = f.open();
        for (int i = 0; i < 30; ++i)
            press(w, Qt::Key_Right);
        QCOMPARE(w->caption(), QStringLiteral("zhuō zi"));
        press(w, Qt::Key_P, Qt::ControlModifier);
        frmSheet *s = openSheet();
        QVERIFY(s);
        QCOMPARE(s->currentSheet()->pageCount(), 3);
        QVERIFY(s->optShown->text().endsWith(QStringLiteral("zhuō-zi")));
        QVERIFY(s->cmdNextPage->isEnabled());
        QVERIFY(!s->cmdPrevPage->isEnabled());
        s->cmdNextPage->click();
        QCOMPARE(s->preview->page(), 1);
        QCOMPARE(s->lblPage->text(), QStringLiteral("第 2 页 / 共 3 页"));
        s->optShown->setChecked(true);
        QCOMPARE(s->currentSheet()->pageCount(), 1);
        QCOMPARE(s->preview->page(), 0);
        QVERIFY(!s->cmdNextPage->isEnabled());
        QCOMPARE(modPub::getSetting(QStringLiteral("sheet"), QStringLiteral("items")),
                 QStringLiteral("shown"));
        // The preview shows the page: white paper with ink on it.
        s->preview->repaint();
        const QImage shot = s->preview->grab().toImage();
        QVERIFY(!s->preview->image().isNull());
        QCOMPARE(s->preview->image().pixelColor(s->preview->image().width() / 2, 3), QColor(Qt::white));
        QVERIFY(shot.pixel(shot.width() / 2, shot.height() / 2) != shot.pixel(2, 2));
        closeSheets();

        // A blank card: nothing to print when only it is chosen.
        s = sheetwindow::open(w, w->deck().text(), QString());
        QVERIFY(s->optShown->isChecked());
        QVERIFY(s->currentSheet()->isEmpty());
        QVERIFY(!s->cmdPdf->isEnabled());
        QVERIFY(!s->cmdPrint->isEnabled());
        QVERIFY(!s->savePdf(f.dir.path() + QStringLiteral("/blank.pdf")));
        QVERIFY(!QFileInfo::exists(f.dir.path() + QStringLiteral("/blank.pdf")));
        s->optBank->setChecked(true);
        QVERIFY(s->cmdPdf->isEnabled());
    }

    void saveAsPdfThroughTheSaveDialog()
    {
        PracticeFixture f;
        f.writeBankText(chars(30));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        const QString target = f.dir.path() + QStringLiteral("/sheet");
        Clock::setMoment(QDateTime(QDate(2024, 9, 2), QTime(23, 59, 30)));
        FileDialog::instance().setNextFileName(target);
        s->cmdPdf->click();
        const QString proposed = FileDialog::instance().lastProposed();
        QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("字帖-2024-09-02.pdf"));
        QCOMPARE(QFileInfo(proposed).absoluteFilePath(),
                 QFileInfo(frmSheet::defaultPdfPath()).absoluteFilePath());
        Clock::setMoment(QDateTime());
        // The suffix is added to a name typed without one.
        const QByteArray pdf = testsupport::fileBytes(target + QStringLiteral(".pdf"));
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        QCOMPARE(pdfPageCount(pdf), 3);
        QVERIFY(s->lblStatus->text().startsWith(QStringLiteral("已保存（3 页）")));
        QVERIFY(f.shown.isEmpty());

        // A name with another ending, the bank's file for one: ".pdf" is
        // added, the file itself is left alone.
        const QByteArray bank = f.bankBytes();
        FileDialog::instance().setNextFileName(f.bankPath());
        s->cmdPdf->click();
        QCOMPARE(f.bankBytes(), bank);
        QVERIFY(testsupport::fileBytes(f.bankPath() + QStringLiteral(".pdf")).startsWith("%PDF-"));

        // Cancelled: nothing written, nothing said.
        const QString status = s->lblStatus->text();
        const QStringList before = QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden);
        FileDialog::instance().setNextFileName(QString());
        s->cmdPdf->click();
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), before);
        QCOMPARE(s->lblStatus->text(), status);
        QVERIFY(f.shown.isEmpty());
    }

    void anUnwritablePlaceSaysSoAndLosesNothing()
    {
        PracticeFixture f;
        f.writeBankText(chars(5));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        // A folder that is a file: no one, root included, can write there.
        const QString file = f.dir.path() + QStringLiteral("/notafolder");
        QVERIFY(testsupport::writeBytes(file, "keep"));
        QVERIFY(!s->savePdf(file + QStringLiteral("/字帖.pdf")));
        QCOMPARE(f.shown.size(), 1);
        QVERIFY(f.shown.at(0).text.startsWith(QStringLiteral("字帖没有保存。")));
        QVERIFY(f.shown.at(0).text.contains(file + QStringLiteral("/字帖.pdf")));
        QCOMPARE(testsupport::fileBytes(file), QByteArray("keep"));
        // A folder for a file name.
        f.shown.clear();
        QVERIFY(!s->savePdf(f.dir.path()));
        QCOMPARE(f.shown.size(), 1);
        QVERIFY(QFileInfo(f.dir.path()).isDir());
        // The dialog is still there, the sheet can still be saved elsewhere.
        QVERIFY(s->isVisible());
        QVERIFY(s->savePdf(f.dir.path() + QStringLiteral("/ok.pdf")));
    }

    void aHugeBankPreviewsAtOnceCountsInTheBackgroundAndSavingCanBeCancelled()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("ɑ"));
        frmMain *w = f.open();
        // About 20 MB as GBK: ten million characters in 500,000 items.
        QString bank;
        bank.reserve(10 * 1000 * 1000 + 500 * 1000);
        const QString item = QStringLiteral("天地人你我他上中下口耳目手足日月水火山石");
        for (int i = 0; i < 500 * 1000; ++i) {
            if (i)
                bank += QLatin1Char(' ');
            bank += item;
        }
        frmSheet *s = sheetwindow::open(w, bank, w->tag());
        QVERIFY(s);
        bool renderedWhileCounting = false;
        connect(s->preview, &SheetPreview::pageRendered, s,
                [&] { renderedWhileCounting = !s->currentSheet()->isPaginated(); });
        QVERIFY(!s->currentSheet()->isPaginated());
        QVERIFY(s->lblPage->text().contains(QStringLiteral("正在计算")));
        QTRY_VERIFY_WITH_TIMEOUT(!s->preview->image().isNull(), 10000);
        QVERIFY(renderedWhileCounting);
        QTRY_VERIFY_WITH_TIMEOUT(s->currentSheet()->isPaginated(), 60000);
        const int pages = s->currentSheet()->pageCount();
        // 天 to 石 are one row each with this data: 14 rows a page.
        QCOMPARE(pages, (10 * 1000 * 1000 + 13) / 14);
        QCOMPARE(s->lblPage->text(), QStringLiteral("第 1 页 / 共 %1 页").arg(pages));

        // The whole bank is not written without a word: its pages and size
        // come first, as a question or, where they do not fit, a refusal.
        const QString target = f.dir.path() + QStringLiteral("/big.pdf");
        QVERIFY(testsupport::writeBytes(target, "old sheet"));
        f.answer = MessageAnswer::No;
        QVERIFY(!s->savePdf(target));
        QCOMPARE(f.shown.size(), 1);
        QVERIFY2(f.shown.at(0).text.contains(QStringLiteral("%1 页").arg(pages)),
                 qPrintable(f.texts().join('|')));
        QVERIFY(f.shown.at(0).text.contains(QStringLiteral(" GB")));
        QCOMPARE(testsupport::fileBytes(target), QByteArray("old sheet"));
        f.shown.clear();

        // A part of it, cancelled from the progress box; the old file stays.
        s->spnLastPage->setValue(1000);
        f.answer = MessageAnswer::Yes;
        QTimer poll;
        bool cancelled = false;
        connect(&poll, &QTimer::timeout, s, [&] {
            for (QProgressDialog *box : s->findChildren<QProgressDialog *>())
                if (box->isVisible() && !cancelled) {
                    cancelled = true;
                    box->cancel();
                }
        });
        poll.start(50);
        QVERIFY(!s->savePdf(target));
        poll.stop();
        QVERIFY(cancelled);
        QCOMPARE(s->lblStatus->text(), QStringLiteral("已取消，没有保存。"));
        QCOMPARE(testsupport::fileBytes(target), QByteArray("old sheet"));
        QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("big*")}, QDir::Files),
                 QStringList {QStringLiteral("big.pdf")});
        // 1,000 pages are asked about too.
        QCOMPARE(f.shown.size(), 1);
        QVERIFY(f.shown.at(0).text.contains(QStringLiteral("1000 页")));
        QCOMPARE(f.shown.at(0).buttons, MessageButtons::YesNo);
        f.shown.clear();

        // Cancelled at once, most likely while the pages are still being
        // counted: the preview goes on counting afterwards.
        s->chkHeading->toggle();
        QVERIFY(!s->currentSheet()->isPaginated());
        QTimer now;
        connect(&now, &QTimer::timeout, s, [&] {
            for (QProgressDialog *box : s->findChildren<QProgressDialog *>())
                box->cancel();
        });
        now.start(0);
        QVERIFY(!s->savePdf(target));
        now.stop();
        QCOMPARE(testsupport::fileBytes(target), QByteArray("old sheet"));
        QTRY_VERIFY_WITH_TIMEOUT(s->currentSheet()->isPaginated(), 60000);
        QCOMPARE(s->lblPage->text(),
                 QStringLiteral("第 1 页 / 共 %1 页").arg(s->currentSheet()->pageCount()));
    }

    void printingSendsThePagesChosen()
    {
        PracticeFixture f;
        f.writeBankText(chars(30));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        if (!frmSheet::printerAvailable()) {
            // The print button says why it cannot be used; PDF still can.
            QVERIFY(!s->cmdPrint->isEnabled());
            QVERIFY(s->cmdPrint->text().startsWith(QStringLiteral("打印…")));
            QVERIFY(s->cmdPrint->text().contains(QStringLiteral("没有安装打印机")));
            QVERIFY(s->cmdPdf->isEnabled());
        } else {
            QCOMPARE(s->cmdPrint->text(), QStringLiteral("打印…"));
        }
        // A printer that writes a file stands in for the one the system dialog returns.
        const QString out = f.dir.path() + QStringLiteral("/printed.pdf");
        QPrinter all(QPrinter::HighResolution);
        all.setOutputFormat(QPrinter::PdfFormat);
        all.setOutputFileName(out);
        PrinterTarget allPages(all);
        QVERIFY(s->printTo(allPages));
        QCOMPARE(pdfPageCount(testsupport::fileBytes(out)), 3);
        // The printed page is the saved one: same paper, same place, no
        // printer margin added on top of the sheet's own.
        const QString saved = f.dir.path() + QStringLiteral("/saved.pdf");
        QVERIFY(s->savePdf(saved));
        if (!QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()) {
            const QImage a = firstPage(out), b = firstPage(saved);
            QVERIFY(!a.isNull());
            QCOMPARE(a.size(), b.size());
            qint64 diff = 0;
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x)
                    diff += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            QVERIFY2(diff < qint64(a.width()) * a.height(), qPrintable(QString::number(diff)));
        }
        QPrinter some(QPrinter::HighResolution);
        some.setOutputFormat(QPrinter::PdfFormat);
        some.setOutputFileName(out);
        some.setPrintRange(QPrinter::PageRange);
        some.setFromTo(2, 3);
        PrinterTarget twoPages(some);
        QVERIFY(s->printTo(twoPages));
        QCOMPARE(pdfPageCount(testsupport::fileBytes(out)), 2);
        QCOMPARE(s->lblStatus->text(), QStringLiteral("已送到打印机（2 页）。"));
    }

    void theSystemPrintDialogComesFromThePrintingModule()
    {
        PracticeFixture f;
        f.writeBankText(chars(30));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        SheetPrintingFactory *printing = sheetprinting::factory();
        QVERIFY2(printing, "the printing module is built beside the program");
        // What the dialog offers, read while it is open; then cancel or OK.
        const auto answer = [&](int result, QString *title, int *maxPage, QWidget **owner) {
            QTimer::singleShot(0, s, [=] {
                auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                *title = dialog->windowTitle();
                *maxPage = dialog->maxPage();
                *owner = dialog->parentWidget();
                dialog->done(result);
            });
        };
        QString title;
        int maxPage = 0;
        QWidget *owner = nullptr;
        answer(QDialog::Rejected, &title, &maxPage, &owner);
        QVERIFY(!printing->askPrinter(s, QStringLiteral("打印字帖"), QPageSize(QPageSize::A4), 3));
        QCOMPARE(title, QStringLiteral("打印字帖"));
        QCOMPARE(maxPage, 3);
        QCOMPARE(owner, s);

        answer(QDialog::Accepted, &title, &maxPage, &owner);
        const std::unique_ptr<SheetPrinter> chosen
            = printing->askPrinter(s, QStringLiteral("打印字帖"), QPageSize(QPageSize::Letter), 3);
        QVERIFY(chosen);
        QCOMPARE(chosen->device().pageLayout().pageSize().id(), QPageSize::Letter);
        QCOMPARE(chosen->firstPage(), 1);
        QCOMPARE(chosen->lastPage(), 0);
    }
    // A name that leads to one of the program's files: a link, a chain of
    // links, a second (hard) link, the file itself (the save dialog's way
    // there is walked in copybook_e2e.py). Nothing is written; a link to a
    // PDF of the user's own is written through and stays a link.
    void theProgramsOwnFilesAreNeverWrittenOver()
    {
        PracticeFixture f;
        f.writeBankText(chars(5));
        modPub::saveSetting(QStringLiteral("main"), QStringLiteral("jiange"), QStringLiteral("5"));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        const QString dir = f.dir.path() + QLatin1Char('/');
        const QString settings = QSettings(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA")).fileName();
        const QByteArray bank = f.bankBytes(), stored = testsupport::fileBytes(settings);
        QVERIFY(!bank.isEmpty() && !stored.isEmpty());
        QVERIFY(QFile::link(f.bankPath(), dir + QStringLiteral("sheet.pdf")));
        QVERIFY(QFile::link(dir + QStringLiteral("sheet.pdf"), dir + QStringLiteral("chain.pdf")));
        QVERIFY(::link(QFile::encodeName(f.bankPath()).constData(),
                       QFile::encodeName(dir + QStringLiteral("second.pdf")).constData())
                == 0);
        QVERIFY(QFile::link(settings, dir + QStringLiteral("settings.pdf")));
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), dir + QStringLiteral("program.pdf")));
        // The files beside the bank are the program's too.
        QVERIFY(testsupport::writeBytes(keptfile::besideBank(keptfile::recordName()), "2024-09-02 08:00 1/1\r\n"));
        QVERIFY(QFile::link(keptfile::besideBank(keptfile::recordName()), dir + QStringLiteral("record.pdf")));
        // And the modules the program loads.
        const QStringList modules = QDir(modules::folders().first()).entryList({QStringLiteral("lorvanta_*.so")});
        QVERIFY(!modules.isEmpty());
        QVERIFY(QFile::link(modules::folders().first() + modules.first(), dir + QStringLiteral("module.pdf")));
        const QStringList own {f.bankPath(),
                               dir + QStringLiteral("record.pdf"),
                               dir + QStringLiteral("module.pdf"),
                               dir + QStringLiteral("sheet.pdf"),
                               dir + QStringLiteral("chain.pdf"),
                               dir + QStringLiteral("second.pdf"),
                               dir + QStringLiteral("settings.pdf"),
                               dir + QStringLiteral("program.pdf")};
        for (const QString &name : own) {
            f.shown.clear();
            QVERIFY2(!s->savePdf(name), qPrintable(name));
            QCOMPARE(f.shown.size(), 1);
            QVERIFY(f.shown.at(0).text.startsWith(notSaved));
            QVERIFY2(f.shown.at(0).text.contains(QStringLiteral("本程序自己的文件")),
                     qPrintable(f.shown.at(0).text));
        }
        QCOMPARE(f.bankBytes(), bank);
        QCOMPARE(testsupport::fileBytes(settings), stored);
        QVERIFY(QFileInfo(dir + QStringLiteral("sheet.pdf")).isSymLink());

        // A link to a file of the user's that is no PDF is not written through either.
        QVERIFY(testsupport::writeBytes(dir + QStringLiteral("notes.txt"), "my notes"));
        QVERIFY(QFile::link(dir + QStringLiteral("notes.txt"), dir + QStringLiteral("notes.pdf")));
        f.shown.clear();
        QVERIFY(!s->savePdf(dir + QStringLiteral("notes.pdf")));
        QVERIFY(f.texts().value(0).contains(QStringLiteral("不是 PDF 文件")));
        QCOMPARE(testsupport::fileBytes(dir + QStringLiteral("notes.txt")), QByteArray("my notes"));

        // A link to the user's own PDF, or to a PDF not made yet: written through.
        QVERIFY(QDir().mkpath(dir + QStringLiteral("elsewhere")));
        QVERIFY(testsupport::writeBytes(dir + QStringLiteral("elsewhere/old.pdf"), "old sheet"));
        QVERIFY(QFile::link(dir + QStringLiteral("elsewhere/old.pdf"), dir + QStringLiteral("latest.pdf")));
        QVERIFY(QFile::link(dir + QStringLiteral("elsewhere/new.pdf"), dir + QStringLiteral("next.pdf")));
        f.shown.clear();
        QVERIFY(s->savePdf(dir + QStringLiteral("latest.pdf")));
        QVERIFY(s->savePdf(dir + QStringLiteral("next.pdf")));
        // The ending in capitals is a PDF's too, named so or reached through a link.
        QVERIFY(QFile::link(dir + QStringLiteral("elsewhere/UPPER.PDF"), dir + QStringLiteral("upper.pdf")));
        QVERIFY(s->savePdf(dir + QStringLiteral("upper.pdf")));
        QVERIFY(s->savePdf(dir + QStringLiteral("elsewhere/Capital.PDF")));
        QVERIFY(f.shown.isEmpty());
        QVERIFY(QFileInfo(dir + QStringLiteral("latest.pdf")).isSymLink());
        QVERIFY(testsupport::fileBytes(dir + QStringLiteral("elsewhere/old.pdf")).startsWith("%PDF-"));
        QVERIFY(testsupport::fileBytes(dir + QStringLiteral("elsewhere/new.pdf")).startsWith("%PDF-"));
        // Nothing half-written was left anywhere.
        QCOMPARE(QDir(dir + QStringLiteral("elsewhere")).entryList(QDir::Files),
                 (QStringList {QStringLiteral("Capital.PDF"), QStringLiteral("new.pdf"), QStringLiteral("old.pdf"),
                               QStringLiteral("UPPER.PDF")}));
        QCOMPARE(f.bankBytes(), bank);
    }

    // The disk fills up while the PDF is being written (something else took
    // the room): the old file stays, the dialog says why; with room again the
    // same save goes through.
    void aDiskThatFillsUpDuringTheSaveReplacesNothing()
    {
        testsupport::FullDisk disk("16m");
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root)");
        PracticeFixture f;
        f.writeBankText(chars(100) + QLatin1Char(' ') + chars(100));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        const QString target = disk.filePath(QStringLiteral("字帖.pdf"));
        QVERIFY(testsupport::writeBytes(target, "old sheet"));
        bool filled = false;
        QTimer fill;
        connect(&fill, &QTimer::timeout, s, [&] {
            if (!filled)
                filled = disk.fill();
        });
        fill.start(0);
        QVERIFY(!s->savePdf(target));
        fill.stop();
        QVERIFY(filled);
        QCOMPARE(f.shown.size(), 1);
        QVERIFY(f.shown.at(0).text.startsWith(notSaved));
        QVERIFY2(f.shown.at(0).text.contains(QStringLiteral("磁盘已满")), qPrintable(f.shown.at(0).text));
        QVERIFY(!s->lblStatus->text().startsWith(QStringLiteral("已保存")));
        QCOMPARE(testsupport::fileBytes(target), QByteArray("old sheet"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files),
                 (QStringList {QStringLiteral("filler"), QStringLiteral("字帖.pdf")}));

        QVERIFY(QFile::remove(disk.filler()));
        f.shown.clear();
        QVERIFY(s->savePdf(target));
        const QByteArray pdf = testsupport::fileBytes(target);
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        QCOMPARE(pdfPageCount(pdf), s->currentSheet()->pageCount());
        QVERIFY(f.shown.isEmpty());
    }

    // More than a few hundred pages are asked about with their number and
    // size; pages that cannot fit are refused before anything is written; a
    // part of the pages can be chosen.
    void aLargeSheetIsAskedAboutRefusedWhenTooLargeAndCanBeSavedInPart()
    {
        PracticeFixture f;
        QStringList bank;
        for (int i = 0; i < 43; ++i)
            bank << chars(100);
        f.writeBankText(bank.join(QLatin1Char(' ')));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        QTRY_VERIFY_WITH_TIMEOUT(s->currentSheet()->isPaginated(), 30000);
        // 4,300 characters of one row each, 14 rows a page.
        QCOMPARE(s->currentSheet()->pageCount(), 308);
        const QString target = f.dir.path() + QStringLiteral("/large.pdf");
        f.answer = MessageAnswer::No;
        QVERIFY(!s->savePdf(target));
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown.at(0).buttons, MessageButtons::YesNo);
        QVERIFY2(f.shown.at(0).text.contains(QStringLiteral("308 页")), qPrintable(f.shown.at(0).text));
        QVERIFY(f.shown.at(0).text.contains(QStringLiteral(" MB")));
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(s->lblStatus->text(), QStringLiteral("没有保存。"));

        // Pages 2 and 3 only, and the last two: no question.
        f.shown.clear();
        s->spnFirstPage->setValue(2);
        s->spnLastPage->setValue(3);
        QVERIFY(s->savePdf(target));
        QCOMPARE(pdfPageCount(testsupport::fileBytes(target)), 2);
        s->spnFirstPage->setValue(307);
        s->spnLastPage->setValue(0);
        QVERIFY(s->savePdf(target));
        QCOMPARE(pdfPageCount(testsupport::fileBytes(target)), 2);
        QCOMPARE(s->lblStatus->text().left(8), QStringLiteral("已保存（2 页）"));
        QVERIFY(f.shown.isEmpty());
        s->spnFirstPage->setValue(309);
        QVERIFY(!s->savePdf(target));
        QVERIFY(f.texts().value(0).contains(QStringLiteral("只有 308 页")));

        // Where it cannot fit, it is refused at once: no progress box, nothing written.
        testsupport::FullDisk disk;
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root)");
        s->spnFirstPage->setValue(1);
        f.shown.clear();
        bool progressShown = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, s,
                [&] { progressShown = progressShown || !s->findChildren<QProgressDialog *>().isEmpty(); });
        poll.start(0);
        QVERIFY(!s->savePdf(disk.filePath(QStringLiteral("large.pdf"))));
        poll.stop();
        QVERIFY(!progressShown);
        QCOMPARE(f.shown.size(), 1);
        QVERIFY2(f.shown.at(0).text.contains(QStringLiteral("空间")), qPrintable(f.shown.at(0).text));
        QVERIFY(QDir(disk.path()).isEmpty());
    }

    // The usual causes in Chinese, the system's own words only as a detail.
    void theUsualCausesAreNamedInChinese()
    {
        PracticeFixture f;
        f.writeBankText(chars(5));
        frmMain *w = f.open();
        frmSheet *s = sheetwindow::open(w, w->deck().text(), w->tag());
        QVERIFY(!s->savePdf(f.dir.path() + QStringLiteral("/gone/字帖.pdf")));
        QVERIFY2(f.texts().value(0).contains(QStringLiteral("不存在")), qPrintable(f.texts().value(0)));

        if (::geteuid() != 0) {
            const QString locked = f.dir.path() + QStringLiteral("/locked");
            QVERIFY(QDir().mkpath(locked));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
            f.shown.clear();
            QVERIFY(!s->savePdf(locked + QStringLiteral("/字帖.pdf")));
            QVERIFY2(f.texts().value(0).contains(QStringLiteral("权限")), qPrintable(f.texts().value(0)));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }

        QTemporaryDir ro;
        const QByteArray where = QFile::encodeName(ro.path());
        if (::mount("tmpfs", where.constData(), "tmpfs", MS_RDONLY, "size=1m") != 0)
            QSKIP("mounting a read-only tmpfs is not allowed here (needs root)");
        f.shown.clear();
        const bool saved = s->savePdf(ro.path() + QStringLiteral("/字帖.pdf"));
        ::umount2(where.constData(), MNT_DETACH);
        QVERIFY(!saved);
        const QString text = f.texts().value(0);
        QVERIFY2(text.contains(QStringLiteral("只读")), qPrintable(text));
        // The system's text comes last, as a detail.
        QVERIFY(text.contains(QStringLiteral("\n（系统信息：")));
        QVERIFY(text.indexOf(QStringLiteral("只读")) < text.indexOf(QStringLiteral("系统信息")));
    }
};

LORVANTA_TEST_MAIN(SheetWindow, QApplication)
#include "sheet_window.moc"
