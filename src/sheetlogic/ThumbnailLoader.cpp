#include "sheetlogic/ThumbnailLoader.h"

#include "sheetlogic/OffThread.h"

QThreadPool& SheetPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;  // lives as long as the program: jobs may outlive a window
        p->setThreadPriority(QThread::LowPriority);
        return p;
    }();
    return *pool;
}

ThumbnailLoader::ThumbnailLoader(ThumbnailCache cache, QObject* parent)
    : QObject(parent), mCache(std::move(cache)), mMailbox(std::make_shared<ResultMailbox>(this)) {}

ThumbnailLoader::~ThumbnailLoader() {
    mMailbox->close();
}

void ThumbnailLoader::request(const QString& file) {
    if (mAsked.contains(file)) return;
    mAsked.insert(file);
    mWaiting.push_back(file);
    if (int(mWaiting.size()) > kMaxWaiting) {
        mAsked.remove(mWaiting.front());
        mWaiting.pop_front();
    }
    startMore();
}

void ThumbnailLoader::clear() {
    for (const QString& file : mWaiting) mAsked.remove(file);
    mWaiting.clear();
}

void ThumbnailLoader::startMore() {
    while (mRunning < SheetPool().maxThreadCount() && !mWaiting.empty()) {
        const QString file = mWaiting.back();
        mWaiting.pop_back();
        ++mRunning;
        RunOffThread(
            mMailbox,
            [cache = mCache, file] { return cache.Load(file, ThumbnailCache::Size::Normal); },
            [this, file](QImage thumbnail) {
                --mRunning;
                mAsked.remove(file);
                Q_EMIT ready(file, thumbnail);
                startMore();
            });
    }
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_ThumbnailLoader.cpp"
