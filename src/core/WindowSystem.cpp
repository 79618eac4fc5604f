#include "core/WindowSystem.h"

#include <QCoreApplication>
#include <chrono>
#include <thread>

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

}  // namespace

qint64 WindowSystem::NowNs() {
    if (!mClock.isValid()) mClock.start();
    return mClock.nsecsElapsed();
}

void WindowSystem::EndOfService(qint64 endNs) {
    if (mLastServiceEndNs >= 0) mLongestGapNs = qMax(mLongestGapNs, endNs - mLastServiceEndNs);
    mLastServiceEndNs = endNs;
}

void WindowSystem::Service() {
    ++mServiceDepth;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{mServiceDepth};
    ProcessEvents();
    EndOfService(NowNs());
}

bool WindowSystem::YieldNoThrow() {
    if (mEnding) return false;
    // The clock is read at every call: any rule that reads it every so many calls goes blind
    // for seconds once the calls become slow.
    if (!TimeSliced() || mLastServiceEndNs < 0 || NowNs() - mLastServiceEndNs >= kSliceNs)
        Service();
    return !mEnding;
}

void WindowSystem::Yield() {
    if (!YieldNoThrow()) throw ProgramEnding{};
}

void WindowSystem::YieldNow() {
    if (mEnding) throw ProgramEnding{};
    Service();
    if (mEnding) throw ProgramEnding{};
}

int WindowSystem::WaitBudgetMs() {
    if (mLastServiceEndNs < 0) return 0;
    const qint64 left = kSliceNs - (NowNs() - mLastServiceEndNs);
    return left > 0 ? int(left / 1'000'000) : 0;
}

bool WindowSystem::SleepNoThrow(int ms) {
    const qint64 until = NowNs() + qint64(ms) * 1'000'000;
    for (;;) {
        if (!YieldNoThrow()) return false;
        const qint64 now = NowNs();
        if (now >= until) return true;
        const qint64 piece =
            qMin(until - now, qMax<qint64>(kSliceNs - (now - mLastServiceEndNs), 0));
        if (piece > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(piece));
    }
}

void WindowSystem::ResetLongestGap() {
    mLongestGapNs = 0;
    mLastServiceEndNs = NowNs();
}

WindowSystem& ws() {
    static SilentWindowSystem fallback;
    return gCurrent ? *gCurrent : fallback;
}

void SetWindowSystem(WindowSystem* system) { gCurrent = system; }
