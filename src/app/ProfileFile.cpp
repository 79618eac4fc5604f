#include "app/ProfileFile.h"

#include <QFile>
#include <QSaveFile>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks and tabs only: a value may well end in an ideographic space that must survive.
QByteArray TrimBlanks(const QByteArray& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.mid(b, e - b);
}

QString Fold(const QString& s) { return s.toCaseFolded(); }

QString KeyId(int section, const QString& key) {
    return QString::number(section) + QLatin1Char('\n') + Fold(key);
}

// The key part of a key line, or nothing for lines that hold no key (no "=", comments).
bool SplitKeyLine(const QByteArray& line, QByteArray* key, QByteArray* value) {
    const QByteArray t = TrimBlanks(line);
    if (t.isEmpty() || t[0] == ';' || t[0] == '[') return false;
    const qsizetype eq = t.indexOf('=');
    if (eq < 0) return false;
    *key = TrimBlanks(t.left(eq));
    if (value) *value = TrimBlanks(t.mid(eq + 1));
    return !key->isEmpty();
}

}  // namespace

bool ProfileFile::load(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        parse(QByteArray());
        return false;
    }
    parse(f.readAll());
    return true;
}

void ProfileFile::parse(const QByteArray& bytes) {
    mLines.clear();
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != '\n' && p[i] != '\r') continue;
        Line line{bytes.mid(start, i - start), {}};
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') {
            line.end = "\r\n";
            ++i;
        } else {
            line.end = QByteArray(1, p[i]);
        }
        mLines.push_back(std::move(line));
        start = i + 1;
    }
    if (start < n) mLines.push_back(Line{bytes.mid(start), {}});
    reindex();
}

void ProfileFile::reindex() {
    mSections.clear();
    mFirstSection.clear();
    mFirstKey.clear();
    mSections.push_back(Section{QString(), -1, -1, false});
    for (int i = 0; i < static_cast<int>(mLines.size()); ++i) {
        const QByteArray t = TrimBlanks(mLines[i].text);
        if (!t.isEmpty() && t[0] == '[') {
            Section s;
            const qsizetype close = t.indexOf(']');
            s.closed = close > 0;
            s.name = QString::fromUtf8(TrimBlanks(t.mid(1, s.closed ? close - 1 : -1)));
            s.headerLine = i;
            s.lastLine = i;
            mSections.push_back(s);
            if (s.closed && !mFirstSection.contains(Fold(s.name)))
                mFirstSection.insert(Fold(s.name), int(mSections.size()) - 1);
            continue;
        }
        const int si = int(mSections.size()) - 1;
        mSections.back().lastLine = i;
        QByteArray key;
        if (si > 0 && mSections[si].closed && SplitKeyLine(mLines[i].text, &key, nullptr)) {
            const QString id = KeyId(si, QString::fromUtf8(key));
            if (!mFirstKey.contains(id)) mFirstKey.insert(id, i);
        }
    }
}

int ProfileFile::findSection(const QString& section) const {
    return mFirstSection.value(Fold(section), -1);
}

int ProfileFile::findKeyLine(int sectionIndex, const QString& key) const {
    return mFirstKey.value(KeyId(sectionIndex, key), -1);
}

QString ProfileFile::value(const QString& section, const QString& key) const {
    const int si = findSection(section);
    if (si < 0) return QString();
    const int li = findKeyLine(si, key);
    if (li < 0) return QString();
    QByteArray k, v;
    SplitKeyLine(mLines[li].text, &k, &v);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.mid(1, v.size() - 2);
    return QString::fromUtf8(v);
}

bool ProfileFile::contains(const QString& section, const QString& key) const {
    const int si = findSection(section);
    return si >= 0 && findKeyLine(si, key) >= 0;
}

QByteArray ProfileFile::newLineEnd() const {
    for (const Line& l : mLines)
        if (!l.end.isEmpty()) return l.end;
    return "\n";
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
    cleanKey.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray keyLine = cleanKey.toUtf8() + '=' + formatValue(value);
    const QByteArray eol = newLineEnd();
    int si = findSection(section);
    if (si >= 0) {
        const int li = findKeyLine(si, key);
        if (li >= 0) {
            mLines[li].text = keyLine;
            return;
        }
        // at the end of the section, before any blank lines that close it
        int at = mSections[si].lastLine;
        while (at > mSections[si].headerLine && TrimBlanks(mLines[at].text).isEmpty()) --at;
        if (mLines[at].end.isEmpty()) mLines[at].end = eol;
        const bool atEnd = at + 1 == static_cast<int>(mLines.size());
        mLines.insert(mLines.begin() + at + 1, Line{keyLine, eol});
        if (atEnd) {  // common case of a file written key by key: no shift, no full re-index
            mSections[si].lastLine = at + 1;
            mFirstKey.insert(KeyId(si, key), at + 1);
        } else {
            reindex();
        }
        return;
    }
    if (!mLines.empty() && mLines.back().end.isEmpty()) mLines.back().end = eol;
    QString cleanSection = section;
    cleanSection.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    mLines.push_back(Line{'[' + cleanSection.toUtf8() + ']', eol});
    Section s{cleanSection, int(mLines.size()) - 1, int(mLines.size()), true};
    mLines.push_back(Line{keyLine, eol});
    mSections.push_back(s);
    const int newIndex = int(mSections.size()) - 1;
    if (!mFirstSection.contains(Fold(s.name))) mFirstSection.insert(Fold(s.name), newIndex);
    mFirstKey.insert(KeyId(newIndex, key), s.lastLine);
}

QByteArray ProfileFile::bytes() const {
    QByteArray out;
    qsizetype total = 0;
    for (const Line& l : mLines) total += l.text.size() + l.end.size();
    out.reserve(total);
    for (const Line& l : mLines) out += l.text + l.end;
    return out;
}

bool ProfileFile::save(const QString& path) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray b = bytes();
    if (f.write(b) != b.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}
