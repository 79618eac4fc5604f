#pragma once

#include <QString>

// Reads Init.dat into the globals of basGlobal.
void LoadSettings();

// Writes the five persisted values back: the two texts are what the main window's start-URL and
// download-folder boxes hold now. Returns false when Init.dat could not be written (nothing is
// reported to the user; the program ends all the same).
bool SaveSettings(const QString& urlText, const QString& downloadText);
