#pragma once
// What the contact sheet shows of a run folder, and how it clears pictures away: the numbered
// pictures in number order, moved to the desktop's trash rather than deleted, so that a picture
// cleared by mistake can be brought back.

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

struct SheetPicture {
    QString name;  // "000012.jpg"
    std::int32_t number = 0;
};

// The numbered pictures of the folder (pages and other files left out), in number order.
std::vector<SheetPicture> PicturesOf(const QString& folder);

struct TrashOutcome {
    QStringList moved;   // names now in the trash
    QStringList failed;  // names still where they were
};

// Moves the named files of the folder to the trash, each on its own: one that cannot be moved
// does not keep the others.
TrashOutcome MoveToTrash(const QString& folder, const QStringList& names);

// The picture decoded for the preview: scaled down (never up) to fit within, or at its own size
// when within is empty. Null when it cannot be decoded.
QImage DecodePicture(const QString& file, QSize within);
