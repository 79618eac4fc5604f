#include "sheetlogic/SheetFiles.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QStandardPaths>
#include <algorithm>

#include "crawl/UrlKinds.h"
#include "decode/DecodeLimit.h"
#include "look/PictureLook.h"
#include "viewindex/RunFolderIndex.h"

std::vector<SheetPicture> PicturesOf(const QString& folder) {
    const std::shared_ptr<const FolderListing> listing = ReadFolder(folder);
    std::vector<SheetPicture> pictures;
    pictures.reserve(listing->numbered.size());
    for (const QString& name : listing->names) {
        const std::optional<std::int32_t> number = SequenceNumberOf(name);
        if (number && KindOfUrl(name) == UrlKind::Picture) pictures.push_back({name, *number});
    }
    // Byte order puts 1000000 before 100001: the sheet goes by the number.
    std::stable_sort(
        pictures.begin(), pictures.end(),
        [](const SheetPicture& a, const SheetPicture& b) { return a.number < b.number; });
    return pictures;
}

TrashOutcome MoveToTrash(const QString& folder, const QStringList& names) {
    TrashOutcome outcome;
    // The trash lives in the user's data folder, which Qt does not make when it is missing.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    for (const QString& name : names) {
        QFile file(folder + u'/' + name);
        (file.moveToTrash() ? outcome.moved : outcome.failed).append(name);
    }
    return outcome;
}

QImage DecodePicture(const QString& file, QSize within) {
    UsePictureFormats();
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    const bool shrink = within.isValid() && full.isValid() &&
                        (full.width() > within.width() || full.height() > within.height());
    if (shrink) reader.setScaledSize(full.scaled(within, Qt::KeepAspectRatio).expandedTo({1, 1}));
    return DecodeFits(reader, kAsidePixels) ? reader.read() : QImage();
}
