#pragma once
// Reading a stored page back as text lines. A line ends at a carriage return or at a carriage
// return followed by a line feed (the pair is one end); a lone line feed does not end a line
// and stays part of its text, so a page written with LF line ends is one single line. Bytes
// are decoded as UTF-8; invalid bytes become U+FFFD and never cost a line. The page is read in
// pieces, so a large page is never held twice over in memory.

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

class PageLineReader {
public:
    PageLineReader() = default;
    PageLineReader(const PageLineReader&) = delete;
    PageLineReader& operator=(const PageLineReader&) = delete;

    // False when the page cannot be opened for reading.
    bool open(const QString& path);
    void close() { mFile.close(); }

    // The next line without its end; false at the end of the page (or when reading fails).
    bool readLine(QString& line);
    // The same as stored, undecoded; the view holds until the next call.
    bool readLine(QByteArrayView& line);

private:
    bool fill();

    QFile mFile;
    QByteArray mBuffer;
    qsizetype mStart = 0;        // first byte of the next line in mBuffer
    qsizetype mSearched = 0;     // bytes from mStart already known to hold no carriage return
    bool mSkipLineFeed = false;  // the last line ended at a CR that was the last byte read
    bool mAtEnd = false;
};
