#pragma once
// The one door through which the program shows message boxes and input boxes and lets the
// window system run. Windows and the crawl call it; tests put a scripted double in its place.

#include <QElapsedTimer>
#include <QString>

// Message box styles and results, with their Windows values.
enum MsgBoxStyle : int {
    MB_OK = 0x0,
    MB_YESNOCANCEL = 0x3,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
    MB_SYSTEMMODAL = 0x1000,
};
enum MsgBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Thrown out of Yield() once the close path has decided to end the program, so that whatever
// was running inside the yield (a crawl, a viewer search) unwinds at once and runs no further
// step. Caught at the top of the handler that started the work.
struct ProgramEnding {};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    virtual int MsgBox(const QString& text, const QString& title, int style) = 0;
    // The text typed, or the empty text when the user cancelled.
    virtual QString InputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;

    // Lets pending window events run. Time-sliced: the events are only processed when about
    // 10 ms have passed since the last time, so that calling it in a tight loop costs little.
    // Throws ProgramEnding when the program is ending.
    void Yield();
    // The same for callers that must not throw (callbacks of C libraries): returns false when
    // the program is ending and the caller should stop.
    bool YieldNoThrow();
    // Processes pending events now, whatever the time slice says.
    void YieldNow();

    // The close path calls this; from then on every yield ends the work it interrupts.
    void RequestEnd() { mEnding = true; }
    bool Ending() const { return mEnding; }

    // Longest time in milliseconds the program went without servicing the window while it was
    // yielding (measured between processed yields), for the benchmarks.
    qint64 LongestGapMs() const { return mLongestGap; }
    void ResetLongestGap() { mLongestGap = 0; }

protected:
    // Runs the window system's pending events once.
    virtual void ProcessEvents() = 0;
    // False makes every yield process events (tests that count or act at every yield).
    virtual bool TimeSliced() const { return true; }

private:
    void ProcessNow(qint64 nowNs);

    QElapsedTimer mClock;
    qint64 mLastProcessNs = -1;
    qint64 mLastClockNs = 0;
    unsigned mCallsUntilClock = 0;
    unsigned mCallsPerClockRead = 16;
    qint64 mLongestGap = 0;
    bool mEnding = false;
};

// The layer in use. There is always one: tests install theirs before creating windows.
WindowSystem& ws();
void SetWindowSystem(WindowSystem* system);
