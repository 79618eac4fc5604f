// An AVIF file from the input, read as the picture readers read it: the size first, then the
// picture. A picture read has the size its header gave; nothing crashes or runs away.

#include <QBuffer>
#include <QImage>
#include <QVariant>

#include "FuzzCheck.h"
#include "avifimage/AvifHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    QByteArray file(reinterpret_cast<const char*>(bytes), qsizetype(size));
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    if (!AvifHandler::CanRead(&buffer)) return 0;
    FUZZ_CHECK(buffer.pos() == 0);  // only peeked
    AvifHandler handler;
    handler.setDevice(&buffer);
    const QSize declared = handler.option(QImageIOHandler::Size).toSize();
    QImage image;
    if (handler.read(&image)) FUZZ_CHECK(!image.isNull() && image.size() == declared);
    return 0;
}
