#include "mainwindow/WholeTextBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

void WholeTextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    selectAll();
    mSwallowFocusPress =
        event->reason() == Qt::MouseFocusReason || event->reason() == Qt::ActiveWindowFocusReason;
    mFocusClock.start();
}

void WholeTextBox::focusOutEvent(QFocusEvent* event) {
    mSwallowFocusPress = false;
    QLineEdit::focusOutEvent(event);
}

void WholeTextBox::mousePressEvent(QMouseEvent* event) {
    // An activation by the keyboard is followed by no press; a click that comes much later is
    // a click into a box that has the focus. The press of the activating click is dispatched
    // right after the focus change, however busy the window is, so a short limit tells them apart.
    constexpr qint64 kSameClickMs = 250;
    const bool focusClick = mSwallowFocusPress && event->button() == Qt::LeftButton &&
                            mFocusClock.elapsed() < kSameClickMs;
    mSwallowFocusPress = false;
    if (focusClick) {
        event->accept();
        return;
    }
    // a click into a box that already has the focus places the cursor as usual
    QLineEdit::mousePressEvent(event);
}

void WholeTextBox::keyPressEvent(QKeyEvent* event) {
    mSwallowFocusPress = false;
    QLineEdit::keyPressEvent(event);
}
