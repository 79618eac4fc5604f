#include "crawl/PageLines.h"

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

bool PageLineReader::open(const QString& path) {
    mFile.close();
    mFile.setFileName(path);
    mBuffer.clear();
    mStart = mSearched = 0;
    mSkipLineFeed = mAtEnd = false;
    return mFile.open(QIODevice::ReadOnly);
}

// Appends the next piece of the file to the buffer, dropping what has been handed out.
bool PageLineReader::fill() {
    if (mAtEnd || !mFile.isOpen()) return false;
    if (mStart > 0) {
        mBuffer.remove(0, mStart);
        mStart = 0;
    }
    const qsizetype had = mBuffer.size();
    // A line longer than the buffer: room for the rest of the page at once (the page is still
    // held once at most), rather than a copy at every piece.
    if (mBuffer.capacity() < had + kChunk)
        mBuffer.reserve(had + qMax<qint64>(mFile.size() - mFile.pos(), kChunk));
    mBuffer.resize(had + kChunk);
    const qint64 got = mFile.read(mBuffer.data() + had, kChunk);
    mBuffer.resize(had + (got > 0 ? got : 0));
    if (got <= 0) {
        mAtEnd = true;
        return false;
    }
    if (mSkipLineFeed && had == 0 && mBuffer.front() == '\n') mStart = 1;
    mSkipLineFeed = false;
    return true;
}

bool PageLineReader::readLine(QString& line) {
    QByteArrayView bytes;
    if (!readLine(bytes)) return false;
    line = QString::fromUtf8(bytes);
    return true;
}

bool PageLineReader::readLine(QByteArrayView& line) {
    for (;;) {
        if (mStart >= mBuffer.size() && !fill()) return false;
        const qsizetype end = mBuffer.indexOf('\r', mStart + mSearched);
        if (end >= 0) {
            line = QByteArrayView(mBuffer.constData() + mStart, end - mStart);
            mStart = end + 1;
            mSearched = 0;
            if (mStart < mBuffer.size()) {
                if (mBuffer.at(mStart) == '\n') ++mStart;
            } else {
                mSkipLineFeed = true;
            }
            return true;
        }
        mSearched = mBuffer.size() - mStart;
        if (!fill()) {
            // The last line of a page that does not end with a line end.
            if (mStart >= mBuffer.size()) return false;
            line = QByteArrayView(mBuffer.constData() + mStart, mBuffer.size() - mStart);
            mStart = mBuffer.size();
            mSearched = 0;
            return true;
        }
    }
}
