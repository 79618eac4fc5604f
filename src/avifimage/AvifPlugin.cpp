#include "avifimage/AvifPlugin.h"

#include "avifimage/AvifHandler.h"

QImageIOPlugin::Capabilities AvifPlugin::capabilities(QIODevice* device,
                                                      const QByteArray& format) const {
    if (format == "avif") return CanRead;
    if (!format.isEmpty() || !device || !device->isReadable()) return {};
    return AvifHandler::CanRead(device) ? CanRead : Capabilities();
}

QImageIOHandler* AvifPlugin::create(QIODevice* device, const QByteArray& format) const {
    auto* handler = new AvifHandler;
    handler->setDevice(device);
    handler->setFormat(format.isEmpty() ? QByteArray("avif") : format);
    return handler;
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_AvifPlugin.cpp"
