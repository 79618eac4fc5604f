#pragma once
// What the fetching ahead holds of one transfer, shared by its two halves: the transfers and
// their bodies (FetchAhead.cpp), and the plan of what to fetch next (FetchAheadPlan.cpp).

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "crawl/BodyFile.h"
#include "crawl/FetchAhead.h"
#include "crawl/PictureSize.h"

struct FetchAhead::Held {
    QString url;
    bool page = false;
    int id = 0;
    std::unique_ptr<BodyFile> body;
    QByteArray head;  // the beginning of a page, written by the transfer, read once it ended
    std::optional<PagePreview::Told> told;
    // A picture whose size is looked for in its first bytes, until they tell it.
    bool sized = false;
    bool sizeUntold = false;
    std::optional<PictureSize> tooFew;  // written by the transfer, read once it ended
    bool ended = false;  // the run's thread saw its transfer end: it never runs again
    // Guarded by the fetching ahead's byte lock:
    bool ahead = true;         // not the run's yet: its bytes count against the budget
    std::int64_t counted = 0;  // its bytes counted
    std::size_t heldBack = 0;  // the piece the budget held back, until it is resumed
};
