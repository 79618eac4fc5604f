#include "ui/WindowSystem.h"

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

// Reading the clock costs more than the rest of a yield, so it is read every few calls only.
constexpr unsigned kCallsPerClockRead = 16;
constexpr qint64 kSliceMs = 10;

}  // namespace

void WindowSystem::ProcessNow() {
    if (mSinceLast.isValid()) {
        const qint64 gap = mSinceLast.elapsed();
        if (gap > mLongestGap) mLongestGap = gap;
    }
    ProcessEvents();
    mSinceLast.start();
    mCallsUntilClock = kCallsPerClockRead;
}

bool WindowSystem::YieldNoThrow() {
    if (!mEnding) {
        if (mCallsUntilClock > 0) {
            --mCallsUntilClock;
        } else if (!mSinceLast.isValid() || mSinceLast.elapsed() >= kSliceMs) {
            ProcessNow();
        } else {
            mCallsUntilClock = kCallsPerClockRead;
        }
    }
    return !mEnding;
}

void WindowSystem::Yield() {
    if (!YieldNoThrow()) throw ProgramEnding{};
}

void WindowSystem::YieldNow() {
    if (mEnding) throw ProgramEnding{};
    ProcessNow();
    if (mEnding) throw ProgramEnding{};
}

WindowSystem& ws() {
    static SilentWindowSystem fallback;
    return gCurrent ? *gCurrent : fallback;
}

void SetWindowSystem(WindowSystem* system) { gCurrent = system; }
