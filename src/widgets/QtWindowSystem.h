#pragma once

#include "core/WindowSystem.h"

// The real layer: Qt message boxes and input dialogs, and the Qt event loop for yields.
class QtWindowSystem final : public WindowSystem {
public:
    int MsgBox(const QString& text, const QString& title, int style) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;

protected:
    void ProcessEvents() override;
};
