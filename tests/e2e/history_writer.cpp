// Child of the history's kill test: appends dictation runs to the history in
// the folder given, over and over, until it is killed. Prints the number of
// runs written after each. Run i starts at second `first` + i, so that each
// child's runs are runs of their own.
#include "core/bankfile.h"
#include "progress/progressfiles.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const qint64 first = QByteArray(argv[2]).toLongLong();
    modPub::setBankDirOverride(QString::fromLocal8Bit(argv[1]));
    const QStringList items = {"天", "地", "人", "你", "我", "他", "ɑ", "mā", "长", "口"};
    for (int i = 0;; ++i) {
        QList<history::Entry> run;
        const QDateTime when = QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(first + i);
        for (int k = 0; k < 200; ++k)
            run << history::Entry {when, history::Activity::Dictation, items.at(k % items.size()), (i + k) % 3 != 0};
        keptfile::Appended block;
        if (!progressfiles::appendEntries(run, block).isEmpty())
            return 1;
        std::printf("%d\n", i + 1);
        std::fflush(stdout);
    }
}
