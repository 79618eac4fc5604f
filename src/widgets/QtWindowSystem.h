#pragma once

#include <QObject>
#include <memory>

#include "core/WindowSystem.h"

// The real layer: Qt message boxes and input dialogs, and the Qt event loop for yields.
// A pass of the program's own event loop outside any yield counts as a service of the window, so
// that idle time between two pieces of work is not taken for a gap.
class QtWindowSystem final : public WindowSystem {
public:
    QtWindowSystem();
    ~QtWindowSystem() override;

    int MsgBox(const QString& text, const QString& title, int style) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;

protected:
    void ProcessEvents() override;

private:
    class PaintPace;
    std::unique_ptr<PaintPace> mPaintPace;
    QMetaObject::Connection mAboutToBlock;
    QMetaObject::Connection mAwake;
};
