#pragma once
// Reads AVIF pictures (still, or the first frame of a sequence) for Qt's image reader, through
// libavif. Reading only: the program stores the bytes it fetched and never writes pictures.

#include <QImageIOHandler>

class AvifHandler : public QImageIOHandler {
public:
    bool canRead() const override;
    bool read(QImage* image) override;
    QVariant option(ImageOption option) const override;
    bool supportsOption(ImageOption option) const override;

    // Whether the device's next bytes begin an AVIF file (its "ftyp" box names an AVIF brand);
    // nothing is consumed.
    static bool CanRead(QIODevice* device);
};
