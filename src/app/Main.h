#pragma once

// The program's start: settings, the main window, the event loop until the close path ends it.
int Main(int argc, char** argv);
