// Child of the power-cut test: writes the bank over and over, alternating two
// contents, until it is killed. Prints one line per completed write.
#include "core/bankfile.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>

#include "tests/e2e/powercut_banks.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    // argv[2] names the bank to write first, "A" or "B"; then they alternate.
    const QString path = QString::fromLocal8Bit(argv[1]);
    const bool aFirst = qstrcmp(argv[2], "A") == 0;
    const QString banks[2]
        = {aFirst ? powercut::bankA() : powercut::bankB(), aFirst ? powercut::bankB() : powercut::bankA()};
    for (unsigned long long i = 0;; ++i) {
        if (!modPub::writeTextFile(path, banks[i % 2], true))
            return 1;
        std::printf("%llu\n", i + 1);
        std::fflush(stdout);
    }
}
