#pragma once

#include <QIcon>
#include <array>

// The six pictures of the main window: five frames of the busy animation (0 to 4) and the
// resting icon (5), drawn by the program so that no picture file has to be found at run time.
std::array<QIcon, 6> MakeWindowIcons();

// The program's icon at one size, for the desktop and the About box.
QImage DrawAppIcon(int size);
