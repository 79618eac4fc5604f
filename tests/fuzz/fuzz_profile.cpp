// The profile file reader and writer: a file from the input, a few keys set with names and
// values from the input, written out and read back. What is written must come back: from the
// file in memory at once, and from its bytes read anew. Unchanged files are written back byte
// for byte.

#include <QHash>

#include "FuzzCheck.h"
#include "core/ProfileFile.h"

namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

bool SurvivesUtf8(const QString& s) {
    return QString::fromUtf8(s.toUtf8()) == s;
}

bool HasOuterBlank(const QByteArray& b) {
    return !b.isEmpty() && (Blank(b.front()) || Blank(b.back()));
}

bool HasLineBreak(const QString& s) {
    return s.contains(u'\r') || s.contains(u'\n');
}

// Names the format can hold: a section header is "[name]" and a key line "key=value", both
// read with outer blanks trimmed.
bool SectionFits(const QString& s) {
    return SurvivesUtf8(s) && !HasLineBreak(s) && !s.contains(u']') && !HasOuterBlank(s.toUtf8());
}

bool KeyFits(const QString& k) {
    const QByteArray b = k.toUtf8();
    return SurvivesUtf8(k) && !HasLineBreak(k) && !b.isEmpty() && !b.contains('=') &&
           !HasOuterBlank(b) && b.front() != ';' && b.front() != '[';
}

// A value cannot span lines: its line breaks are written as blanks.
QString Written(QString v) {
    return v.replace(u'\r', u' ').replace(u'\n', u' ');
}

// Lines as the reader cuts them (CR LF, LF or CR end a line): how many, and how many empty.
std::pair<int, int> CountLines(const QByteArray& b) {
    int lines = 0, empty = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (b[i] != '\n' && b[i] != '\r') continue;
        ++lines;
        if (i == start) ++empty;
        if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < b.size()) ++lines;
    return {lines, empty};
}

struct Expected {
    QString section, key, value;
};

void CheckAll(const ProfileFile& file, const QHash<QString, Expected>& expected) {
    for (const Expected& e : expected) {
        FUZZ_CHECK(file.contains(e.section, e.key));
        FUZZ_CHECK(file.value(e.section, e.key) == e.value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const int operations = data.ConsumeIntegralInRange(1, 4);
    struct Op {
        QString section, key, value;
    };
    std::vector<Op> ops;
    for (int i = 0; i < operations; ++i) {
        Op op;
        op.section = ConsumeText(data, 40);
        op.key = ConsumeText(data, 40);
        op.value = ConsumeText(data, 80);
        ops.push_back(op);
    }
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray original(rest.data(), qsizetype(rest.size()));

    ProfileFile file;
    file.parse(original);
    FUZZ_CHECK(file.bytes() == original);

    QHash<QString, Expected> expected;  // by folded section and key: the last value set wins
    bool exact = true;                  // until a name the format cannot hold has been written
    for (const Op& op : ops) {
        file.setValue(op.section, op.key, op.value);
        if (!SectionFits(op.section) || !KeyFits(op.key) || !SurvivesUtf8(op.value)) {
            exact = false;
            continue;
        }
        if (!exact) continue;
        const QString id = op.section.toCaseFolded() + u'\n' + op.key.toCaseFolded();
        expected.insert(id, Expected{op.section, op.key, Written(op.value)});
        CheckAll(file, expected);
    }

    const QByteArray written = file.bytes();
    ProfileFile again;
    again.parse(written);
    FUZZ_CHECK(again.bytes() == written);
    if (exact) CheckAll(again, expected);
    // Setting keys only replaces key lines or adds lines that hold text: no line of the file
    // is lost, and the empty ones stay as many as they were.
    const auto [linesBefore, emptyBefore] = CountLines(original);
    const auto [linesAfter, emptyAfter] = CountLines(written);
    FUZZ_CHECK(linesAfter >= linesBefore);
    FUZZ_CHECK(emptyAfter == emptyBefore);
    return 0;
}
