#pragma once
// Files without a name, made ahead for the folder a crawl stores into. Making a file costs the
// file system far more than giving it a name (on a busy disk, the search for a free inode is
// most of a small picture's cost), so a thread of their own makes the next few while the run's
// thread names the ones before. A file made ahead that is never used vanishes with its handle;
// when none has been taken for a while (the crawl ended or waits) the stock goes, so that no
// open file keeps a removable disk busy.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class SpareFiles {
public:
    explicit SpareFiles(std::chrono::milliseconds idle = std::chrono::seconds(2)) : mIdle(idle) {}
    ~SpareFiles();
    SpareFiles(const SpareFiles&) = delete;
    SpareFiles& operator=(const SpareFiles&) = delete;

    // An unnamed file in folder, opened for reading and writing: one made ahead when there is
    // one, else made now. 0, or the errno of making it now.
    int take(const QString& folder, int* handle);
    // Files made ahead and not yet taken (for tests).
    int ready();

private:
    static constexpr std::size_t kStock = 8;

    void loop();
    void dropAll();  // under mLock

    const std::chrono::milliseconds mIdle;
    std::mutex mLock;
    std::condition_variable mWanted;
    QByteArray mFolder;       // the folder made for; guarded by mLock
    std::deque<int> mSpares;  // guarded by mLock
    bool mFailed = false;     // the last attempt failed: none made until one succeeds again
    bool mQuit = false;
    std::chrono::steady_clock::time_point mLastTake;  // guarded by mLock
    std::thread mMaker;                               // started with the first take
};

// A new unnamed file in folder with the permissions any file the user creates gets; -1 with
// errno set when it could not be made.
int MakeUnnamedFile(const QByteArray& folder);
