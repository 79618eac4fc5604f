#pragma once
// Profile files (Init.dat, crawl settings files): [Section] lines and key=value lines.
// The file is held as its raw lines so that lines nobody changes are written back byte for
// byte, line ends included.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <functional>
#include <vector>

#include "core/SteadyHash.h"

class ProfileFile {
public:
    ProfileFile() = default;

    // Reads the file; a missing or unreadable file gives an empty profile (returns false), and
    // so does anything but a regular file (a pipe, a device) and a file above 1 GiB.
    // turn, when given, runs every few thousand lines while a long file is taken apart (a yield
    // keeps the window answering).
    bool load(const QString& path, const std::function<void()>& turn = {});
    // Parses bytes as if they were the file's contents.
    void parse(const QByteArray& bytes, const std::function<void()>& turn = {});

    // The value of the first matching key of the first matching section (names compared
    // without regard to letter case), trimmed, one pair of matching quotes removed;
    // empty when the section or key is missing.
    QString value(const QString& section, const QString& key) const;
    bool contains(const QString& section, const QString& key) const;

    // Replaces the first matching key line, or adds the key at the end of its section, or adds
    // the section at the end of the file.
    void setValue(const QString& section, const QString& key, const QString& value);

    // The whole file as it would be written.
    QByteArray bytes() const;
    // Its lines without their line ends, for readers that go through every line of a long file
    // without copying it.
    qsizetype lineCount() const { return qsizetype(mLines.size()); }
    QByteArrayView line(qsizetype index) const { return text(mLines[size_t(index)]); }
    // Writes the file through a temporary file in the same folder and a rename, so that the old
    // file stays whole until the new one is complete. Returns false when that failed.
    // keepGoing, when given, runs between pieces of a long file (a yield keeps the window
    // answering); false from it abandons the save and leaves the old file as it was.
    bool save(const QString& path, const std::function<bool()>& keepGoing = {}) const;

private:
    // A line is a span of mText, which holds the file as read followed by every text set
    // since: no allocation per line, so a file of millions of short lines stays small.
    enum End : quint8 { kNoEnd, kLF, kCR, kCRLF };
    struct Line {
        qsizetype start = 0;  // of the text (without its line end) in mText
        quint32 length = 0;
        End end = kNoEnd;
    };
    struct Section {
        QString name;         // as written, empty for the lines before the first section
        int headerLine = -1;  // index in mLines, -1 for the part before the first section
        int lastLine = -1;    // last line that belongs to the section
        bool closed = true;   // false for "[name" without "]": it never matches a lookup
    };

    QByteArrayView text(const Line& line) const {
        return QByteArrayView(mText.constData() + line.start, line.length);
    }
    Line addText(const QByteArray& text, End end);
    void reindex(const std::function<void()>& turn = {});
    void indexKey(int sectionIndex, int lineIndex);
    int findSection(const QString& section) const;
    int findKeyLine(int sectionIndex, const QString& key) const;
    End newLineEnd() const;
    static QByteArray formatValue(const QString& value);

    QByteArray mText;
    std::vector<Line> mLines;
    std::vector<Section> mSections;
    QHash<QString, int> mFirstSection;  // folded name -> first section index
    // Hash of (section, folded key) -> first line of that key. A hash shared by two different
    // keys is caught by comparing the key at the line; the section is then searched line by
    // line.
    SteadyHash<size_t, int> mFirstKey;  // grows without a pause at 300,000 keys
};
