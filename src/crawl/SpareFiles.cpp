#include "crawl/SpareFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <system_error>

int MakeUnnamedFile(const QByteArray& folder) {
#ifdef O_TMPFILE
    return ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#else
    (void)folder;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

SpareFiles::~SpareFiles() {
    {
        std::lock_guard<std::mutex> lock(mLock);
        mQuit = true;
        dropAll();
    }
    mWanted.notify_all();
    if (mMaker.joinable()) mMaker.join();
    for (const int fd : mSpares) ::close(fd);  // any the maker finished on its way out
}

void SpareFiles::dropAll() {
    for (const int fd : mSpares) ::close(fd);
    mSpares.clear();
}

int SpareFiles::take(const QString& folder, int* handle) {
    const QByteArray where = QFile::encodeName(folder);
    {
        std::lock_guard<std::mutex> lock(mLock);
        mLastTake = std::chrono::steady_clock::now();
        if (where != mFolder) {  // another run folder: what was made for the last one goes
            dropAll();
            mFolder = where;
        } else if (!mSpares.empty()) {
            *handle = mSpares.front();
            mSpares.pop_front();
            mWanted.notify_one();
            return 0;
        }
    }
    // None ready: made here, and the maker starts on the next ones.
    const int fd = MakeUnnamedFile(where);
    const int error = fd < 0 ? errno : 0;
    {
        std::lock_guard<std::mutex> lock(mLock);
        mFailed = fd < 0;
        if (!mMaker.joinable() && fd >= 0) {
            try {
                mMaker = std::thread([this] { loop(); });
            } catch (const std::system_error&) {  // every file is then made when asked for
            }
        }
    }
    mWanted.notify_one();
    if (fd < 0) return error;
    *handle = fd;
    return 0;
}

int SpareFiles::ready() {
    std::lock_guard<std::mutex> lock(mLock);
    return static_cast<int>(mSpares.size());
}

void SpareFiles::loop() {
    std::unique_lock<std::mutex> lock(mLock);
    const auto wanted = [this] {
        return mQuit || (!mFolder.isEmpty() && !mFailed && mSpares.size() < kStock);
    };
    for (;;) {
        if (!mWanted.wait_until(lock, mLastTake + mIdle, wanted)) {
            dropAll();  // nobody took one for a while; the next take starts anew
            mFolder.clear();
            mWanted.wait(lock, wanted);
        }
        if (mQuit) return;
        const QByteArray where = mFolder;
        lock.unlock();
        const int fd = MakeUnnamedFile(where);
        lock.lock();
        if (fd < 0) {
            mFailed = true;  // a full disk or a folder gone: the run's own attempt says which
        } else if (where != mFolder || mQuit) {
            ::close(fd);
        } else {
            mSpares.push_back(fd);
        }
    }
}
