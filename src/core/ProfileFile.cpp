#include "core/ProfileFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QVarLengthArray>

#include "core/Elsewhere.h"
#include "core/WindowSystem.h"

namespace {

// Beyond this a file is not taken for a profile file: it reads as unreadable, and so is never
// replaced by a save either.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;
// A longer line means nothing (no section, no key) and is never decoded: it is kept as it is
// and written back so. No URL or folder comes near it, and a hostile line of a hundred
// megabytes would otherwise be held several times over as text.
constexpr qsizetype kMaxLineBytes = qsizetype(1) << 20;
// The file is read in pieces of this size, the window answered between them.
constexpr qint64 kReadPieceBytes = qint64(4) << 20;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks and tabs only: a value may well end in an ideographic space that must survive.
QByteArrayView TrimBlanks(QByteArrayView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.sliced(b, e - b);
}

QString Fold(const QString& s) {
    return s.toCaseFolded();
}

// The key part of a key line, or nothing for lines that hold no key (no "=", comments).
bool SplitKeyLine(QByteArrayView line, QByteArrayView* key, QByteArrayView* value) {
    if (line.size() > kMaxLineBytes) return false;
    const QByteArrayView t = TrimBlanks(line);
    if (t.isEmpty() || t[0] == ';' || t[0] == '[') return false;
    const qsizetype eq = t.indexOf('=');
    if (eq < 0) return false;
    *key = TrimBlanks(t.first(eq));
    if (value) *value = TrimBlanks(t.sliced(eq + 1));
    return !key->isEmpty();
}

// Hash of a key within its section, without regard to letter case. Plain ASCII keys, the
// usual kind, are folded in place without building a text.
size_t KeyHash(int section, QByteArrayView key) {
    QVarLengthArray<char, 128> folded;
    folded.reserve(key.size());
    for (const char c : key) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            const QByteArray f = Fold(QString::fromUtf8(key)).toUtf8();
            return qHash(QByteArrayView(f), size_t(section));
        }
        folded.append(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    }
    return qHash(QByteArrayView(folded.data(), folded.size()), size_t(section));
}

bool SameKey(QByteArrayView lineKey, const QString& key) {
    return Fold(QString::fromUtf8(lineKey)) == Fold(key);
}

QByteArrayView EndBytes(quint8 end) {
    switch (end) {
        case 1:
            return "\n";
        case 2:
            return "\r";
        case 3:
            return "\r\n";
        default:
            return {};
    }
}

}  // namespace

bool ProfileFile::load(const QString& path, const std::function<void()>& turn) {
    QFile f(path);
    // A regular file only: a pipe would block the program until someone writes to it, and a
    // device such as /dev/zero never ends.
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly) || f.size() > kMaxFileBytes) {
        parse(QByteArray());
        return false;
    }
    QByteArray bytes(f.size(), Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes.size()) {
        const qint64 read = f.read(bytes.data() + got, qMin(kReadPieceBytes, bytes.size() - got));
        if (read <= 0) break;
        got += read;
        if (turn) turn();
    }
    bytes.truncate(got);
    parse(bytes, turn);
    return true;
}

void ProfileFile::parse(const QByteArray& bytes, const std::function<void()>& turn) {
    mText = bytes.size() > kMaxFileBytes ? QByteArray() : bytes;
    mLines.clear();
    const char* p = mText.constData();
    const qsizetype n = mText.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (turn && (i & 0xFFFFF) == 0) turn();
        if (p[i] != '\n' && p[i] != '\r') continue;
        Line line{start, quint32(i - start), kLF};
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') {
            line.end = kCRLF;
            ++i;
        } else if (p[i] == '\r') {
            line.end = kCR;
        }
        mLines.push_back(line);
        start = i + 1;
    }
    if (start < n) mLines.push_back(Line{start, quint32(n - start), kNoEnd});
    reindex(turn);
}

void ProfileFile::reindex(const std::function<void()>& turn) {
    mSections.clear();
    mFirstSection.clear();
    mFirstKey.clear();
    mSections.push_back(Section{QString(), -1, -1, false});
    for (int i = 0; i < static_cast<int>(mLines.size()); ++i) {
        if (turn && (i & 0xFFF) == 0) turn();
        const QByteArrayView t = TrimBlanks(text(mLines[i]));
        if (!t.isEmpty() && t[0] == '[' && t.size() <= kMaxLineBytes) {
            Section s;
            const qsizetype close = t.indexOf(']');
            s.closed = close > 0;
            s.name = QString::fromUtf8(TrimBlanks(t.sliced(1, (s.closed ? close : t.size()) - 1)));
            s.headerLine = i;
            s.lastLine = i;
            mSections.push_back(s);
            if (s.closed && !mFirstSection.contains(Fold(s.name)))
                mFirstSection.insert(Fold(s.name), int(mSections.size()) - 1);
            continue;
        }
        const int si = int(mSections.size()) - 1;
        mSections.back().lastLine = i;
        if (si > 0 && mSections[si].closed) indexKey(si, i);
    }
}

void ProfileFile::indexKey(int sectionIndex, int lineIndex) {
    QByteArrayView key;
    if (!SplitKeyLine(text(mLines[lineIndex]), &key, nullptr)) return;
    const size_t hash = KeyHash(sectionIndex, key);
    if (!mFirstKey.contains(hash)) mFirstKey.insert(hash, lineIndex);
}

int ProfileFile::findSection(const QString& section) const {
    return mFirstSection.value(Fold(section), -1);
}

int ProfileFile::findKeyLine(int sectionIndex, const QString& key) const {
    const int* it = mFirstKey.find(KeyHash(sectionIndex, key.toUtf8()));
    if (!it) return -1;
    QByteArrayView lineKey;
    if (SplitKeyLine(text(mLines[*it]), &lineKey, nullptr) && SameKey(lineKey, key)) return *it;
    // another key with the same hash came first: look through the section
    const Section& s = mSections[sectionIndex];
    for (int i = s.headerLine + 1; i <= s.lastLine; ++i)
        if (SplitKeyLine(text(mLines[i]), &lineKey, nullptr) && SameKey(lineKey, key)) return i;
    return -1;
}

QString ProfileFile::value(const QString& section, const QString& key) const {
    const int si = findSection(section);
    if (si < 0) return QString();
    const int li = findKeyLine(si, key);
    if (li < 0) return QString();
    QByteArrayView k, v;
    SplitKeyLine(text(mLines[li]), &k, &v);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.sliced(1, v.size() - 2);
    return QString::fromUtf8(v);
}

bool ProfileFile::contains(const QString& section, const QString& key) const {
    const int si = findSection(section);
    return si >= 0 && findKeyLine(si, key) >= 0;
}

ProfileFile::End ProfileFile::newLineEnd() const {
    for (const Line& l : mLines)
        if (l.end != kNoEnd) return l.end;
    return kLF;
}

ProfileFile::Line ProfileFile::addText(const QByteArray& text, End end) {
    Line line{mText.size(), quint32(text.size()), end};
    mText += text;
    return line;
}

QByteArray ProfileFile::formatValue(const QString& value) {
    QString v = value;
    // a value cannot span lines in this format
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QByteArray b = v.toUtf8();
    // Quote what a reader would otherwise change (outer blanks, a quoted value), so that the
    // value written is the value read back.
    const bool outerBlank = !b.isEmpty() && (IsBlank(b[0]) || IsBlank(b.back()));
    const bool quoted = b.size() >= 2 && (b[0] == '"' || b[0] == '\'') && b.back() == b[0];
    if (outerBlank || quoted) b = '"' + b + '"';
    return b;
}

void ProfileFile::setValue(const QString& section, const QString& key, const QString& value) {
    QString cleanKey = key;
    cleanKey.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray keyLine = cleanKey.toUtf8() + '=' + formatValue(value);
    const End eol = newLineEnd();
    int si = findSection(section);
    if (si >= 0) {
        const int li = findKeyLine(si, key);
        if (li >= 0) {
            mLines[li] = addText(keyLine, mLines[li].end);
            return;
        }
        // at the end of the section, before any blank lines that close it
        int at = mSections[si].lastLine;
        while (at > mSections[si].headerLine && TrimBlanks(text(mLines[at])).isEmpty()) --at;
        if (mLines[at].end == kNoEnd) mLines[at].end = eol;
        const bool atEnd = at + 1 == static_cast<int>(mLines.size());
        // A lone CR followed by an empty line ended by LF would read back as one CR LF, and
        // that empty line would be lost.
        End end = eol;
        if (!atEnd && end == kCR && mLines[at + 1].length == 0 && mLines[at + 1].end == kLF)
            end = kCRLF;
        mLines.insert(mLines.begin() + at + 1, addText(keyLine, end));
        if (atEnd) {  // common case of a file written key by key: no shift, no full re-index
            mSections[si].lastLine = at + 1;
            indexKey(si, at + 1);
        } else {
            reindex();
        }
        return;
    }
    if (!mLines.empty() && mLines.back().end == kNoEnd) mLines.back().end = eol;
    QString cleanSection = section;
    cleanSection.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    mLines.push_back(addText('[' + cleanSection.toUtf8() + ']', eol));
    Section s{cleanSection, int(mLines.size()) - 1, int(mLines.size()), true};
    mLines.push_back(addText(keyLine, eol));
    mSections.push_back(s);
    const int newIndex = int(mSections.size()) - 1;
    if (!mFirstSection.contains(Fold(s.name))) mFirstSection.insert(Fold(s.name), newIndex);
    indexKey(newIndex, s.lastLine);
}

QByteArray ProfileFile::bytes() const {
    QByteArray out;
    qsizetype total = 0;
    for (const Line& l : mLines) total += l.length + EndBytes(l.end).size();
    out.reserve(total);
    for (const Line& l : mLines) {
        out += text(l);
        out += EndBytes(l.end);
    }
    return out;
}

namespace {

// The sync before the file takes its name is the one wait left in a save: it runs on a worker
// thread while the window is served, so that the commit's own sync finds nothing left to wait
// for. A stop asked for meanwhile is not taken: the file is complete by then.
void SyncAside(int handle) {
    // the program ending: the rest of the sync is waited for without servicing
    RunWhileServiced([handle] { ::fdatasync(handle); }, [] { return ws().YieldNoThrow(); });
}

}  // namespace

bool ProfileFile::save(const QString& path, const std::function<bool()>& keepGoing) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    // Written in pieces rather than as one copy of the whole file: 300,000 lines written at once
    // held the window for a tenth of a second.
    constexpr qsizetype kPieceBytes = qsizetype(1) << 18;
    QByteArray piece;
    piece.reserve(kPieceBytes + 4096);
    qint64 synced = 0;  // bytes sent on to the disk so far
    const auto writePiece = [&f, &piece, &synced] {
        const bool written = f.write(piece) == piece.size() && f.flush();
        piece.resize(0);  // keeps its room for the next piece
        // The disk takes each piece while the next is made, so that the sync at the end, which
        // no yield can interrupt, finds little left to wait for (15 MB took 35 ms).
        const qint64 end = f.pos();
        if (written && f.handle() >= 0 && end > synced) {
            sync_file_range(f.handle(), synced, end - synced,
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE);
            synced = end;
        }
        return written;
    };
    for (const Line& l : mLines) {
        piece += text(l);
        piece += EndBytes(l.end);
        if (piece.size() < kPieceBytes) continue;
        if (!writePiece() || (keepGoing && !keepGoing())) {
            f.cancelWriting();
            return false;
        }
    }
    if (!writePiece()) {
        f.cancelWriting();
        return false;
    }
    if (keepGoing && f.handle() >= 0) SyncAside(f.handle());
    return f.commit();
}
