#include "ScriptedWindowSystem.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace {
WindowSystem* gInstalled = nullptr;
}

ScriptedWindowSystem::ScriptedWindowSystem() : mPrevious(gInstalled) {
    gInstalled = this;
    SetWindowSystem(this);
}

ScriptedWindowSystem::~ScriptedWindowSystem() {
    gInstalled = mPrevious;
    SetWindowSystem(mPrevious);
}

int ScriptedWindowSystem::MsgBox(const QString& text, const QString& title, int style) {
    ShownBox box{ShownBox::Message, text, title, style, {}};
    mShown.push_back(box);
    if (onBox) onBox(box);
    if (mAnswers.empty()) {
        const bool okOnly = (style & 0xF) == MB_OK;
        if (!okOnly) ADD_FAILURE() << "unscripted question: " << text.toStdString();
        return okOnly ? IDOK : IDCANCEL;
    }
    const int result = mAnswers.front();
    mAnswers.pop_front();
    return result;
}

QString ScriptedWindowSystem::InputBox(const QString& prompt, const QString& title,
                                       const QString& defaultText) {
    ShownBox box{ShownBox::Input, prompt, title, 0, defaultText};
    mShown.push_back(box);
    if (onBox) onBox(box);
    if (mInputs.empty()) {
        ADD_FAILURE() << "unscripted input box: " << prompt.toStdString();
        return QString();
    }
    QString result = mInputs.front();
    mInputs.pop_front();
    return result;
}

void ScriptedWindowSystem::ProcessEvents() {
    ++mYields;
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    if (onYield) onYield();
}
