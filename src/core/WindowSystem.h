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

    // Lets pending window events run. Time-sliced by the clock alone: the events are processed
    // when a slice (10 ms) has passed since the end of the last time, however long or short
    // the caller's steps are, so that calling it in a tight loop costs only a clock read.
    // Throws ProgramEnding when the program is ending.
    void Yield();
    // The same for callers that must not throw (callbacks of C libraries): returns false when
    // the program is ending and the caller should stop.
    bool YieldNoThrow();
    // Processes pending events now, whatever the time slice says.
    void YieldNow();

    // How long in milliseconds a caller may block (a poll, a read) before the window must be
    // serviced again; a caller that waits longer must wait in pieces with a yield between.
    int WaitBudgetMs();
    // Sleeps for ms milliseconds in pieces no longer than a slice, servicing the window before,
    // between and after them. False when the program is ending.
    bool SleepNoThrow(int ms);

    // The close path calls this; from then on every yield ends the work it interrupts.
    void RequestEnd() { mEnding = true; }
    bool Ending() const { return mEnding; }

    // Longest wall-clock time in milliseconds between the ends of two consecutive services of
    // the window, including the time spent inside the services themselves (a slow paint) and
    // inside waits, for the benchmarks and the headless command's summary.
    qint64 LongestGapMs() const { return mLongestGapNs / 1'000'000; }
    // Starts a new measurement: the window counts as serviced now.
    void ResetLongestGap();
    static constexpr qint64 kSliceNs = 10'000'000;

protected:
    // Runs the window system's pending events once.
    virtual void ProcessEvents() = 0;
    // False makes every yield process events (tests that count or act at every yield).
    virtual bool TimeSliced() const { return true; }
    // A monotonic clock in nanoseconds; tests may give their own.
    virtual qint64 NowNs();
    // The window was serviced outside any yield (the program's own event loop or a modal box
    // delivered an event): the measured gap starts again from now.
    void ServicedElsewhere() { mLastServiceEndNs = NowNs(); }
    // True while a yield is running the window system's events.
    bool InService() const { return mServiceDepth > 0; }

private:
    void Service();
    void EndOfService(qint64 endNs);

    QElapsedTimer mClock;
    qint64 mLastServiceEndNs = -1;
    qint64 mLongestGapNs = 0;
    int mServiceDepth = 0;
    bool mEnding = false;
};

// The layer in use. There is always one: tests install theirs before creating windows.
WindowSystem& ws();
void SetWindowSystem(WindowSystem* system);
