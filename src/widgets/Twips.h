#pragma once
// The windows were designed in twips: 15 twips are one pixel.

#include <QRect>

class QWidget;

// A designed rectangle (left, top, width, height in twips) in pixels, each rounded.
QRect TwipsRect(int left, int top, int width, int height);

// Places a top-level window in the middle of the primary screen's free area.
void CentreOnScreen(QWidget* window);

// Gives a fixed-size window its designed client size (in twips) and centres it on the screen.
void FixSizeAndCentre(QWidget* window, int widthTwips, int heightTwips);
