#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dialoglogic/ByteOrderedNames.h"

namespace {

// Names whose UTF-16 order differs from their UTF-8 byte order (a character above U+FFFF sorts
// before U+FF61 in UTF-16, after it in UTF-8), with case, digits and shared prefixes.
std::vector<QString> MixedNames(int count, unsigned seed) {
    const std::vector<QString> parts{"a",      "B",          "_",      "0", "9",  "\u00E9",
                                     "\uFF61", "\U0001F600", "\u65E5", " ", "ab", "aB"};
    std::mt19937 random(seed);
    std::vector<QString> names;
    for (int i = 0; i < count; ++i) {
        QString name;
        const int length = 1 + int(random() % 4);
        for (int j = 0; j < length; ++j) name += parts[random() % parts.size()];
        names.push_back(name + QString::number(i));  // a folder never holds a name twice
    }
    return names;
}

QStringList ByBytes(std::vector<QString> names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.toStdString() < b.toStdString();  // std::string compares unsigned bytes
    });
    return QStringList(names.begin(), names.end());
}

}  // namespace

// However the work is cut into runs and merges, the names come out once each in byte order.
TEST(ByteOrderedNames, EveryCutOfTheWorkGivesTheSameByteOrder) {
    struct Cut {
        std::size_t run;
        std::size_t merge;
    };
    for (const Cut cut : {Cut{1, 0}, Cut{3, 12}, Cut{5, 1000}, Cut{64, 64}, Cut{4096, 32768}}) {
        for (const int count : {0, 1, 2, 7, 100, 1000}) {
            const std::vector<QString> names = MixedNames(count, unsigned(count) * 31 + 7);
            ByteOrderedNames sorter(cut.run, cut.merge);
            for (const QString& name : names) sorter.add(name);
            sorter.finish();
            QStringList out;
            while (const QString* name = sorter.next()) out.append(*name);
            EXPECT_EQ(out, ByBytes(names)) << cut.run << "/" << cut.merge << " " << count;
            EXPECT_EQ(sorter.next(), nullptr);
        }
    }
}
