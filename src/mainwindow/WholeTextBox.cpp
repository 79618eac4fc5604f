#include "mainwindow/WholeTextBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

void WholeTextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    selectAll();
    mSwallowFocusPress = event->reason() == Qt::MouseFocusReason;
}

void WholeTextBox::focusOutEvent(QFocusEvent* event) {
    mSwallowFocusPress = false;
    QLineEdit::focusOutEvent(event);
}

void WholeTextBox::mousePressEvent(QMouseEvent* event) {
    const bool focusClick = mSwallowFocusPress && event->button() == Qt::LeftButton;
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
