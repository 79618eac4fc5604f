// Times the image viewer on large run folders, on the real window (offscreen) with the real
// time-sliced yields: opening, last, previous and next across an empty gap of 999,990 numbers,
// and the refresh of a folder of 100,000 files. Prints one line per case, with the
// longest time the window went without being serviced.
// Usage: viewer_bench [folder for the test data; default a temporary folder]
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "core/basGlobal.h"
#include "viewer/frmViewer.h"
#include "viewindex/RunFolderIndex.h"
#include "widgets/QtWindowSystem.h"

namespace {

QByteArray SmallPng() {
    QImage image(32, 24, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void MakeFolder(const QString& folder, const std::vector<std::int32_t>& numbers) {
    QDir().mkpath(folder);
    static const QByteArray png = SmallPng();
    for (std::int32_t n : numbers) {
        QFile file(folder + QLatin1Char('/') + SequenceName(n) + QStringLiteral(".png"));
        if (!file.open(QIODevice::WriteOnly)) std::fprintf(stderr, "cannot write %d\n", n);
        file.write(png);
    }
}

std::vector<std::int32_t> Range(std::int32_t from, std::int32_t to) {
    std::vector<std::int32_t> numbers;
    for (std::int32_t n = from; n <= to; ++n) numbers.push_back(n);
    return numbers;
}

void Measure(const char* what, frmViewer& viewer, const std::function<void()>& step) {
    ws().YieldNow();  // the gap is counted from the start of the step
    ws().ResetLongestGap();
    const qint64 lookups = viewer.FolderIndex().Lookups();
    const int reads = viewer.FolderIndex().Reads();
    const qint64 checks = viewer.FolderIndex().Checks();
    QElapsedTimer clock;
    clock.start();
    step();
    const qint64 ms = clock.elapsed();
    std::printf(
        "%-52s %6lld ms  (%lld numbers probed, %d listings, %lld folder time checks, "
        "window gap <= %lld ms)\n",
        what, ms, viewer.FolderIndex().Lookups() - lookups, viewer.FolderIndex().Reads() - reads,
        viewer.FolderIndex().Checks() - checks, ws().LongestGapMs());
    std::printf("%52s caption: %s\n", "", qPrintable(viewer.windowTitle()));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QtWindowSystem windowSystem;
    SetWindowSystem(&windowSystem);
    QTemporaryDir temp;
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();

    // 20,000 files: 1 .. 19,999, then one 999,991 numbers further on.
    const QString gap = root + QStringLiteral("/SR0001");
    auto numbers = Range(1, 19'999);
    numbers.push_back(19'999 + 999'991);
    MakeFolder(gap, numbers);
    // 20,000 files at the top of the six-digit range, none below 980,000.
    const QString high = root + QStringLiteral("/SR0002");
    MakeFolder(high, Range(980'000, 999'999));
    // 100,000 files for the refresh.
    const QString big = root + QStringLiteral("/SR0003");
    MakeFolder(big, Range(1, 100'000));

    frmViewer viewer;
    viewer.showNormal();
    gRunFolder = gap;
    Measure("opening, 20,000 files", viewer, [&] { viewer.Open(); });
    Measure("last, beyond an empty gap of 999,990 numbers", viewer,
            [&] { viewer.cmdControll_Click(3); });
    Measure("previous back across the gap", viewer, [&] { viewer.cmdControll_Click(1); });
    Measure("next across the gap", viewer, [&] { viewer.cmdControll_Click(2); });

    viewer.cmdClose_Click();
    viewer.showNormal();
    gRunFolder = high;
    Measure("opening, 20,000 files from 980,000 on", viewer, [&] { viewer.Open(); });

    gRunFolder = big;
    Measure("refresh, 100,000 files", viewer, [&] { viewer.cmdRefresh_Click(); });
    Measure("refresh again, 100,000 files", viewer, [&] { viewer.cmdRefresh_Click(); });
    SetWindowSystem(nullptr);
    return 0;
}
