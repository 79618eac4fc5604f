#pragma once
// The numbered names of a run folder's files, written and read by one rule: the number in
// decimal, zero-padded to at least six digits, then "." and the extension ("000005.jpg",
// "1234567.png"). The crawl writes them; the viewer, the contact sheet and the crawl's own
// look at what a folder holds read them.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// The number zero-padded to at least six digits: 1 -> "000001", 1234567 -> "1234567".
QString SequenceName(std::int32_t number);

// The number a file name stands for: the part before its first "." exactly as SequenceName
// writes it. "5.jpg", "0000005.jpg", "000005" and "-00005.jpg" name no number.
std::optional<std::int32_t> SequenceNumberOf(QStringView name);
