// Build-time tool: writes the program icon as PNG files for the desktop's
// icon theme (hicolor/NxN/apps/lorvanta.png below the folder given).
#include "resources/artwork.h"

#include <QDir>
#include <QGuiApplication>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(dir) || !resources::bookImage(size).save(dir + QStringLiteral("/lorvanta.png")))
            return 1;
    }
    return 0;
}
