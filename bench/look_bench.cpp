// What working out a picture's look costs: the time of LookOfPicture for each picture file
// given (the median, the mean and the slowest), and how many could not be decoded.
//   build/bench/look_bench /usr/share/gimp/2.0/help/en/images/*/*.jpg
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "look/PictureLook.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<double> ms;
    int undecoded = 0;
    for (int i = 1; i < argc; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!LookOfPicture(QString::fromLocal8Bit(argv[i]))) ++undecoded;
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (ms.empty()) {
        std::fprintf(stderr, "usage: look_bench PICTURE...\n");
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%zu pictures (%d not decoded): median %.2f ms, mean %.2f ms, slowest %.2f ms\n",
                ms.size(), undecoded, ms[ms.size() / 2],
                std::accumulate(ms.begin(), ms.end(), 0.0) / ms.size(), ms.back());
    return 0;
}
