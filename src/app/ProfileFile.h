#pragma once
// Profile files (Init.dat, crawl settings files): [Section] lines and key=value lines.
// The file is held as its raw lines so that lines nobody changes are written back byte for
// byte, line ends included.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

class ProfileFile {
public:
    ProfileFile() = default;

    // Reads the file; a missing or unreadable file gives an empty profile (returns false).
    bool load(const QString& path);
    // Parses bytes as if they were the file's contents.
    void parse(const QByteArray& bytes);

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
    // Writes the file through a temporary file in the same folder and a rename, so that the old
    // file stays whole until the new one is complete. Returns false when that failed.
    bool save(const QString& path) const;

private:
    struct Line {
        QByteArray text;  // without its line end
        QByteArray end;   // "\r\n", "\n", "\r" or empty for a last line without one
    };
    struct Section {
        QString name;        // as written, empty for the lines before the first section
        int headerLine = -1; // index in mLines, -1 for the part before the first section
        int lastLine = -1;   // last line that belongs to the section
        bool closed = true;  // false for "[name" without "]": it never matches a lookup
    };

    void reindex();
    int findSection(const QString& section) const;
    int findKeyLine(int sectionIndex, const QString& key) const;
    QByteArray newLineEnd() const;
    static QByteArray formatValue(const QString& value);

    std::vector<Line> mLines;
    std::vector<Section> mSections;
    QHash<QString, int> mFirstSection;        // folded name -> first section index
    QHash<QString, int> mFirstKey;            // folded "section\nkey" -> line index
};
