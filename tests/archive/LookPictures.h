#pragma once
// Pictures for the look-alike tests: a photo-like scene drawn from a seed at any size.

#include <QImage>
#include <QString>
#include <cmath>

// Smooth shapes of varying brightness, as in a photograph; another seed, another scene.
inline QImage Scene(int seed, int width = 400, int height = 300) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double a = std::sin(seed * 1.7 + u * (3 + seed % 5) * 3.1) *
                             std::cos(seed * 0.9 + v * (2 + seed % 3) * 2.3);
            const double b = std::sin((u + v) * (4 + seed % 7) + seed);
            const int grey = std::clamp(int(128 + 80 * a + 40 * b), 0, 255);
            image.setPixel(x, y, qRgb(grey, std::clamp(grey + 30, 0, 255), 255 - grey));
        }
    }
    return image;
}
