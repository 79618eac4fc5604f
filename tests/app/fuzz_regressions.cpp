// Faults the fuzz targets found, each kept as a case of its own, and every input they failed
// on replayed through the same checks the fuzz targets make.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdint>
#include <stdexcept>

#include "QtPrinters.h"
#include "core/ProfileFile.h"
#include "crawl/RobotsTxt.h"

#ifdef SR_FUZZ_REPLAY
extern "C" int FuzzOneInput_profile(const uint8_t*, size_t);
extern "C" int FuzzOneInput_crawl_settings(const uint8_t*, size_t);
extern "C" int FuzzOneInput_page_scan(const uint8_t*, size_t);
extern "C" int FuzzOneInput_extension(const uint8_t*, size_t);
extern "C" int FuzzOneInput_file_numbers(const uint8_t*, size_t);
extern "C" int FuzzOneInput_robots(const uint8_t*, size_t);
extern "C" int FuzzOneInput_url_key(const uint8_t*, size_t);
extern "C" int FuzzOneInput_picture_size(const uint8_t*, size_t);
extern "C" int FuzzOneInput_picture_look(const uint8_t*, size_t);
#endif

namespace {

QList<QByteArray> Lines(const QByteArray& bytes) {
    // cut as the reader cuts: each line end is CR LF, LF or CR
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r') continue;
        lines.append(bytes.mid(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.append(bytes.mid(start));
    return lines;
}

}  // namespace

// A file whose first line ends in a lone CR and whose section closes with an empty line ended
// by LF: the key added before that empty line must not swallow it into a CR LF.
TEST(FuzzRegressionTest, KeyAddedBeforeEmptyLineKeepsItWhateverTheLineEnds) {
    for (const QByteArray& original :
         {QByteArray("[s]\ra=1\n\n[t]\rb=2\r"), QByteArray("[s]\ra=1\n\n"),
          QByteArray("[s]\r\n\n;x\r[t]\n")}) {
        ProfileFile file;
        file.parse(original);
        file.setValue("s", "added", "v");
        const QByteArray written = file.bytes();
        ProfileFile again;
        again.parse(written);
        EXPECT_EQ(again.value("s", "added"), "v") << written.toStdString();
        EXPECT_EQ(again.value("s", "a"), file.value("s", "a"));
        EXPECT_EQ(again.value("t", "b"), file.value("t", "b"));
        // every line of the original is still there, in order, with one line more
        QList<QByteArray> lines = Lines(written);
        ASSERT_EQ(lines.size(), Lines(original).size() + 1) << written.toStdString();
        lines.removeOne("added=v");
        EXPECT_EQ(lines, Lines(original)) << written.toStdString();
    }
}

// A robots.txt whose lines end in CR alone, or that begins with a byte order mark, says what the
// same file with LF line ends says: its first line is not lost nor all of it read as one line.
TEST(FuzzRegressionTest, RobotsTxtReadWhateverTheLineEndsAndByteOrderMark) {
    for (const QByteArray& text : {QByteArray("User-agent: *\rDisallow: /private\r"),
                                   QByteArray("\xEF\xBB\xBFUser-agent: *\nDisallow: /private\n")}) {
        const RobotsTxt robots = RobotsTxt::Parse(text, "SiteRambler");
        EXPECT_FALSE(robots.allows("/private/a.html")) << text.toStdString();
        EXPECT_TRUE(robots.allows("/public/a.html"));
    }
}

#ifdef SR_FUZZ_REPLAY
TEST(FuzzRegressionTest, KeptInputsPassTheFuzzTargetsChecks) {
    const struct {
        const char* corpus;
        int (*entry)(const uint8_t*, size_t);
    } targets[] = {
        {"profile", FuzzOneInput_profile},
        {"crawl_settings", FuzzOneInput_crawl_settings},
        {"page_scan", FuzzOneInput_page_scan},
        {"extension", FuzzOneInput_extension},
        {"file_numbers", FuzzOneInput_file_numbers},
        {"robots", FuzzOneInput_robots},
        {"url_key", FuzzOneInput_url_key},
        {"picture_size", FuzzOneInput_picture_size},
        {"picture_look", FuzzOneInput_picture_look},
    };
    int replayed = 0;
    for (const auto& target : targets) {
        const QDir dir(QStringLiteral(SR_SOURCE_DIR "/tests/fuzz/corpus/") + target.corpus);
        // the kept findings, and the seeds as well: they must pass too
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
            const QByteArray input = f.readAll();
            SCOPED_TRACE(std::string(target.corpus) + "/" + name.toStdString());
            EXPECT_NO_THROW(target.entry(reinterpret_cast<const uint8_t*>(input.constData()),
                                         size_t(input.size())));
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}
#endif
