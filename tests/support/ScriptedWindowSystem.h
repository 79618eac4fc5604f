#pragma once
// A window-system layer for tests: answers message boxes and input boxes from a script, in
// order, and records every box shown, so tests can check the exact texts and styles.

#include <QString>
#include "QtPrinters.h"
#include <deque>
#include <functional>
#include <vector>

#include "core/WindowSystem.h"

struct ShownBox {
    enum Kind { Message, Input } kind = Message;
    QString text;   // message text, or the input box's prompt
    QString title;
    int style = 0;  // message boxes only
    QString defaultText;  // input boxes only
};

class ScriptedWindowSystem final : public WindowSystem {
public:
    // Installs itself as the layer in use; the previous layer comes back on destruction.
    ScriptedWindowSystem();
    ~ScriptedWindowSystem() override;

    // The next message box returns this; a box with no scripted answer fails the test and
    // returns IDCANCEL (or IDOK for an OK-only box).
    void answer(int result) { mAnswers.push_back(result); }
    void answerInput(const QString& text) { mInputs.push_back(text); }
    // Called while a box is "shown", before it returns: lets a test act in the middle of it.
    std::function<void(const ShownBox&)> onBox;
    // Called at every processed yield (after the real events ran).
    std::function<void()> onYield;

    const std::vector<ShownBox>& shown() const { return mShown; }
    int pendingAnswers() const { return int(mAnswers.size() + mInputs.size()); }
    void clearShown() { mShown.clear(); }
    int yields() const { return mYields; }
    // Every yield processes events (no time slicing) when true: makes tests that act inside
    // yields independent of the machine's speed.
    bool everyYieldProcesses = true;
    // When set, the layer's clock in nanoseconds (tests of the time slicing); otherwise the
    // real monotonic clock.
    std::function<qint64()> clockNs;

    int MsgBox(const QString& text, const QString& title, int style) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;

protected:
    void ProcessEvents() override;
    bool TimeSliced() const override { return !everyYieldProcesses; }
    qint64 NowNs() override { return clockNs ? clockNs() : WindowSystem::NowNs(); }

private:
    WindowSystem* mPrevious = nullptr;
    std::deque<int> mAnswers;
    std::deque<QString> mInputs;
    std::vector<ShownBox> mShown;
    int mYields = 0;
};
