#pragma once
// Offers the AVIF reader to every QImageReader of the program under the format "avif". It is
// linked in statically and imported by the viewer, so no plugin folder has to be installed.

#include <QImageIOPlugin>

class AvifPlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "avif.json")
public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override;
};
