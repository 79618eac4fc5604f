#include "core/WindowSystem.h"

#include <QCoreApplication>

namespace {

// Used until the program installs its own: processes events, answers every box with Cancel.
class SilentWindowSystem final : public WindowSystem {
public:
    int MsgBox(const QString&, const QString&, int style) override {
        return (style & 0xF) == MB_OK ? IDOK : IDCANCEL;
    }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }

protected:
    void ProcessEvents() override {
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
    }
};

WindowSystem* gCurrent = nullptr;

constexpr qint64 kSliceNs = 10'000'000;
// Reading the clock costs more than the rest of a yield, so it is read only every so many
// calls; the count adapts so that a read comes about every 0.2 ms whether the caller's steps
// are tiny (the scan) or slow (a long fragment), keeping the window's gaps near the slice.
constexpr qint64 kClockReadEveryNs = 200'000;
constexpr unsigned kMostCallsPerClockRead = 256;

}  // namespace

void WindowSystem::ProcessNow(qint64 nowNs) {
    if (mLastProcessNs >= 0) mLongestGap = qMax(mLongestGap, (nowNs - mLastProcessNs) / 1'000'000);
    ProcessEvents();
    if (!mClock.isValid()) mClock.start();
    mLastProcessNs = mLastClockNs = mClock.nsecsElapsed();
}

bool WindowSystem::YieldNoThrow() {
    if (mEnding) return false;
    if (!TimeSliced()) {
        ProcessNow(mClock.isValid() ? mClock.nsecsElapsed() : 0);
        return !mEnding;
    }
    if (mCallsUntilClock > 0) {
        --mCallsUntilClock;
        return true;
    }
    if (!mClock.isValid()) mClock.start();
    const qint64 now = mClock.nsecsElapsed();
    const qint64 sinceRead = now - mLastClockNs;
    mLastClockNs = now;
    if (sinceRead > kClockReadEveryNs) mCallsPerClockRead /= 2;
    else if (mCallsPerClockRead < kMostCallsPerClockRead) mCallsPerClockRead = mCallsPerClockRead * 2 + 1;
    if (mLastProcessNs < 0 || now - mLastProcessNs >= kSliceNs) ProcessNow(now);
    mCallsUntilClock = mCallsPerClockRead;
    return !mEnding;
}

void WindowSystem::Yield() {
    if (!YieldNoThrow()) throw ProgramEnding{};
}

void WindowSystem::YieldNow() {
    if (mEnding) throw ProgramEnding{};
    ProcessNow(mClock.isValid() ? mClock.nsecsElapsed() : 0);
    if (mEnding) throw ProgramEnding{};
}

WindowSystem& ws() {
    static SilentWindowSystem fallback;
    return gCurrent ? *gCurrent : fallback;
}

void SetWindowSystem(WindowSystem* system) { gCurrent = system; }
