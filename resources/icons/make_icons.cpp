// Writes the program's icon as PNG files of the sizes desktops look for.
// Usage: sr_make_icons OUTPUT_FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include "widgets/Icons.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        if (!DrawAppIcon(size).save(QStringLiteral("%1/siterambler-%2.png").arg(out).arg(size)))
            return 1;
    }
    return 0;
}
