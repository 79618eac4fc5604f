#pragma once
// Reads AVIF pictures (still, or the first frame of a sequence) for Qt's image reader, through
// libavif. Reading only: the program stores the bytes it fetched and never writes pictures.

#include <QByteArray>
#include <QImageIOHandler>
#include <memory>

struct avifDecoder;

class AvifHandler : public QImageIOHandler {
public:
    AvifHandler();
    ~AvifHandler() override;

    bool canRead() const override;
    bool read(QImage* image) override;
    QVariant option(ImageOption option) const override;
    bool supportsOption(ImageOption option) const override;

    // Whether the device's next bytes begin an AVIF file (its "ftyp" box names an AVIF brand);
    // nothing is consumed.
    static bool CanRead(QIODevice* device);

private:
    struct DecoderDeleter {
        void operator()(avifDecoder* decoder) const;
    };
    // The file is read and its header parsed once, whether the size or the picture is asked
    // for first; null when it is no AVIF this reads.
    avifDecoder* parsed() const;

    mutable QByteArray mBytes;  // the decoder reads from these
    mutable std::unique_ptr<avifDecoder, DecoderDeleter> mDecoder;
    mutable bool mParsed = false;
};
