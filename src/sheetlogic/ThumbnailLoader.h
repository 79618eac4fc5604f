#pragma once
// Thumbnails made or read on the sheet's pool while the window goes on. The view asks for what
// it paints, so the latest asked is the first made: after a jump through a large folder the
// pictures on show come before those scrolled past, and asks that waited too long are dropped
// (the view asks again for what it still shows).

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <memory>

#include "sheetlogic/ThumbnailCache.h"

class ResultMailbox;

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailLoader(ThumbnailCache cache, QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // Nothing happens for a file already asked for and not yet ready.
    void request(const QString& file);
    // Forgets what waits; what is under way still reports.
    void clear();
    int waiting() const { return int(mWaiting.size()); }

    static constexpr int kMaxWaiting = 400;

Q_SIGNALS:
    // A null thumbnail: the picture cannot be decoded.
    void ready(const QString& file, const QImage& thumbnail);

private:
    void startMore();

    const ThumbnailCache mCache;
    std::shared_ptr<ResultMailbox> mMailbox;
    std::deque<QString> mWaiting;  // newest at the back
    QSet<QString> mAsked;          // waiting or under way
    int mRunning = 0;
};
