#pragma once
// The manual as the manual viewer shows it: one entry per line of ReadMe.txt.
//
// The file is read once into memory and cut into lines; a line is turned into text only when
// the list asks for it. That keeps a huge or binary file from stalling the window: at most
// kMaxBytes are read, at most kMaxLines lines are listed, and a line is shown up to
// kMaxLineChars characters (far beyond the list's 800-pixel scroll range).

#include <QAbstractListModel>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class ManualText {
public:
    static constexpr qint64 kMaxBytes = 64LL * 1024 * 1024;
    static constexpr int kMaxLines = 1'000'000;
    static constexpr int kMaxLineChars = 1024;

    // Reads the file at `path`. A line ends at CR LF, at a lone CR or at a lone LF; a last line
    // without an ending counts as well; an empty file has no lines. The text is UTF-8 (a
    // leading byte order mark is skipped); bytes that are not UTF-8 show as replacement
    // characters and never cost a line. Returns false when the file could not be opened or
    // read to the end; the lines read up to the failure are kept.
    // keepGoing, when given, runs between pieces of the work (a yield keeps the window
    // answering); false from it stops the reading there, and load returns false.
    bool load(const QString& path, const std::function<bool()>& keepGoing = {});
    // The same on bytes already in memory.
    void setBytes(QByteArray bytes);

    int count() const { return static_cast<int>(mLines.size()); }
    QString line(int index) const;

private:
    struct Span {
        std::uint32_t start;
        std::uint32_t length;
    };
    bool split(const std::function<bool()>& keepGoing);

    QByteArray mBytes;
    std::vector<Span> mLines;
};

// A read-only list model over a ManualText, for the manual viewer's list.
class ManualListModel : public QAbstractListModel {
public:
    explicit ManualListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}
    void setManual(ManualText manual);
    const ManualText& manual() const { return mManual; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    ManualText mManual;
};
