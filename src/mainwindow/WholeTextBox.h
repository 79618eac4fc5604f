#pragma once
// A text box that selects its whole text when it gets the focus, so that typing replaces it.
// The selection is made at once, never queued: keys typed right after the focus change are
// already waiting in the window system's queue when the window is busy, and a select-all that
// ran after some of them would select them and let the next key replace them.

#include <QElapsedTimer>
#include <QLineEdit>

class WholeTextBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Set by a focus that came from a click, or from the window's activation (which a click
    // into the inactive window also brings): the press of that click follows and would otherwise
    // place the cursor and undo the selection.
    bool mSwallowFocusPress = false;
    QElapsedTimer mFocusClock;
};
