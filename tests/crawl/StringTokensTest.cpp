#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "core/StringTokens.h"

TEST(StringTokens, CountsAndPicksPiecesOfASimpleText) {
    EXPECT_EQ(CountTokens(u"a b c", u' '), 3);
    EXPECT_EQ(GetToken(u"a b c", 1, u' '), "a");
    EXPECT_EQ(GetToken(u"a b c", 2, u' '), "b");
    EXPECT_EQ(GetToken(u"a b c", 3, u' '), "c");
}

TEST(StringTokens, TextWithoutSeparatorHasNoPieces) {
    EXPECT_EQ(CountTokens(u"abc", u' '), 0);
    EXPECT_EQ(GetToken(u"abc", 1, u' '), "");
    EXPECT_EQ(CountTokens(u"", u' '), 0);
    EXPECT_EQ(GetToken(u"", 1, u' '), "");
    EXPECT_TRUE(SplitTokens(u"abc", u' ').empty());
    int visits = 0;
    ForEachToken(u"abc", u' ', [&](QStringView) { ++visits; });
    EXPECT_EQ(visits, 0);
}

TEST(StringTokens, EmptyPiecesAtEdgesAndBetweenSeparators) {
    // A URL ending in "/": the last piece is empty.
    const QString url = "http://host/dir/";
    EXPECT_EQ(CountTokens(url, u'/'), 5);
    EXPECT_EQ(GetToken(url, CountTokens(url, u'/'), u'/'), "");
    EXPECT_EQ(GetToken(url, 2, u'/'), "");  // between the two slashes
    EXPECT_EQ(GetToken(url, 3, u'/'), "host");
    // A leading separator: piece 1 is empty, piece 2 runs to the next separator.
    EXPECT_EQ(GetToken(u"/a/b", 1, u'/'), "");
    EXPECT_EQ(GetToken(u"/a/b", 2, u'/'), "a");
    // The separator alone: two empty pieces.
    EXPECT_EQ(CountTokens(u"/", u'/'), 2);
    EXPECT_EQ(GetToken(u"/", 2, u'/'), "");
}

TEST(StringTokens, PieceNumbersOutOfRangeGiveEmptyText) {
    EXPECT_EQ(GetToken(u"a b c", 0, u' '), "");
    EXPECT_EQ(GetToken(u"a b c", -1, u' '), "");
    EXPECT_EQ(GetToken(u"a b c", 4, u' '), "");
    EXPECT_EQ(GetToken(u"a b c", 1000, u' '), "");
}

TEST(StringTokens, ComparesTheSeparatorExactly) {
    EXPECT_EQ(CountTokens(u"a\tb", u' '), 0);  // a tab is not a blank
    EXPECT_EQ(CountTokens(u"xAy", u'a'), 0);
    EXPECT_EQ(GetToken(u"xay", 2, u'a'), "y");
}

TEST(StringTokens, AllWaysOfWalkingThePiecesAgree) {
    const QStringList texts = {"a<b<<c<", "<", "<<", "x<", "<y", "no", "a<bb<ccc<dddd<e"};
    for (const QString& text : texts) {
        const int n = CountTokens(text, u'<');
        const std::vector<QStringView> split = SplitTokens(text, u'<');
        ASSERT_EQ(int(split.size()), n) << text.toStdString();
        QStringList visited;
        ForEachToken(text, u'<', [&](QStringView p) { visited << p.toString(); });
        ASSERT_EQ(visited.size(), n);
        for (int k = 1; k <= n; ++k) {
            EXPECT_EQ(split[k - 1].toString(), GetToken(text, k, u'<')) << text.toStdString();
            EXPECT_EQ(visited[k - 1], GetToken(text, k, u'<'));
        }
        // Pieces joined with the separator give the text back.
        if (n > 0) EXPECT_EQ(visited.join(u'<'), text);
    }
}

TEST(StringTokens, LongTextsAreCutLikeShortOnes) {
    // Texts around and far beyond 32,767 characters have their pieces as any other.
    for (const qsizetype length :
         {qsizetype(32766), qsizetype(32767), qsizetype(32768), qsizetype(100000)}) {
        QString text(length - 4, u'x');
        text += " end";
        text[10] = u' ';
        EXPECT_EQ(CountTokens(text, u' '), 3) << length;
        EXPECT_EQ(GetToken(text, 3, u' '), "end") << length;
        EXPECT_EQ(GetToken(text, 1, u' '), QString(10, u'x')) << length;
        EXPECT_EQ(GetToken(text, 2, u' ').size(), length - 4 - 11) << length;
    }
}
