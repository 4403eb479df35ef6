// 学习记录 timing on ten years of daily use: prints figures, asserts nothing.
//
//   lorvanta-bench-history [entries]
//
// A history of about 100,000 entries (each day a dictation of 20 items and
// seven written characters) in a private folder; then, each as median and
// maximum of repeated runs:
// 1. opening it: the file read and decoded, every line parsed;
// 2. adding one written character (appended and synced to disk);
// 3. the end of a dictation's check: its 20 lines appended, the history read
//    again and the items that may leave the mistake book found;
// 4. the 学习记录 window on it: made, shown and painted, with all of it.
#include "core/bankfile.h"
#include "core/modules.h"
#include "progress/frmprogress.h"
#include "progress/progresschart.h"
#include "progress/progressfiles.h"
#include "rules/history.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>

namespace {
QString summary(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return QStringLiteral("median %1 ms, max %2 ms (%3 runs)")
        .arg(v.at(v.size() / 2), 0, 'f', 2)
        .arg(v.last(), 0, 'f', 2)
        .arg(v.size());
}

template <typename F> QList<double> timed(int runs, F f)
{
    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f(i);
        ms << t.nsecsElapsed() / 1e6;
    }
    return ms;
}
} // namespace

int main(int argc, char *argv[])
{
    testsupport::prepareEnvironment();
    QApplication app(argc, argv);
    const int wanted = argc > 1 ? std::max(27, std::atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    modPub::setBankDirOverride(dir.path());

    // 常用字 from the bank the program starts with, as a family's items would be.
    const QStringList items = modPub::defaultBank().split(QRegularExpression(QStringLiteral("\\s+")),
                                                          Qt::SkipEmptyParts);
    QStringList lines;
    QDateTime day(QDate(2016, 12, 1), QTime(19, 30));
    for (int n = 0; lines.size() < wanted; ++n, day = day.addDays(1)) {
        for (int i = 0; i < 20; ++i)
            lines << history::entryLine({day, history::Activity::Dictation, items.at((n * 7 + i) % items.size()),
                                         (n + i) % 6 != 0});
        for (int i = 0; i < 7; ++i)
            lines << history::entryLine({day.addSecs(600 + i * 40), history::Activity::Writing,
                                         items.at((n * 3 + i) % items.size()).left(1), i % 4 != 0, 6, 4});
    }
    QFile f(progressfiles::historyPath());
    if (!f.open(QIODevice::WriteOnly)
        || f.write(modPub::encodeGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"))) < 0)
        return 1;
    f.close();
    std::printf("history: %lld entries, %.1f MB, %lld days\n", qlonglong(lines.size()),
                QFileInfo(f).size() / 1e6, qlonglong(lines.size() / 27));

    qsizetype read = 0;
    const QList<double> open = timed(7, [&](int) { read = progressfiles::readHistory().entries().size(); });
    std::printf("open (read, decode, parse %lld entries): %s\n", qlonglong(read), qPrintable(summary(open)));

    const QList<double> add = timed(50, [&](int i) {
        keptfile::Appended block;
        progressfiles::appendEntries({{day.addSecs(i), history::Activity::Writing, QStringLiteral("天"), true, 4, 4}},
                                     block);
    });
    std::printf("add one written character: %s\n", qPrintable(summary(add)));

    const QList<double> check = timed(7, [&](int i) {
        QList<history::Entry> run;
        QStringList right;
        for (int k = 0; k < 20; ++k) {
            run << history::Entry {day.addDays(i + 1), history::Activity::Dictation, items.at(k), true};
            right << items.at(k);
        }
        keptfile::Appended block;
        progressfiles::appendEntries(run, block);
        progressfiles::readHistory().mastered(right, 3);
    });
    std::printf("end of a check (20 lines added, history read, mastered found): %s\n",
                qPrintable(summary(check)));

    const QList<double> window = timed(5, [&](int) {
        std::unique_ptr<QDialog> w(progresswindow::create(nullptr, modPub::defaultBank()));
        w->show();
        QCoreApplication::processEvents();
        w->grab();
    });
    std::printf("学习记录 window on all of it (made, shown, painted; chart module %s): %s\n",
                modules::get<ProgressChartFactory>() ? "loaded" : "missing",
                qPrintable(summary(window)));
    return 0;
}
