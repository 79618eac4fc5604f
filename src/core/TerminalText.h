#pragma once
// Text from pages, servers and archive files on its way to a terminal: a control character in
// a URL or a file name must not move the cursor, change colours or retitle the window.

#include <QString>

// The text with every control character (C0, DEL, C1; line ends and tabs too) written as
// "\xHH"; everything else unchanged.
QString TerminalText(const QString& text);
// The same in the terminal's encoding, for printing.
QByteArray TerminalBytes(const QString& text);
