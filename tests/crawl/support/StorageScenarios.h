#pragma once
// The storage failures every front end of the crawl must stop on, against the site
// a.html -> b.html with the images 1.jpg and 2.jpg on a.html: the fault is armed on a
// FaultyStorage, and the scenario says what must be left afterwards.

#include <QDir>
#include <QDirIterator>
#include <QStringList>
#include <cerrno>
#include <functional>
#include <ostream>

#include "FaultyStorage.h"

struct StorageScenario {
    const char* name;
    int error;              // what the crawl meets
    const char* cause;      // as the warning words it
    const char* imageLeft;  // first entry of the image queue afterwards, "" for none
    QStringList stored;     // the run folder afterwards
    int counter;            // the failed attempt's number stays used
    std::function<void(FaultyStorage&, const QString& downloads)> arrange;
};

inline void PrintTo(const StorageScenario& s, std::ostream* os) {
    *os << s.name;
}

inline std::vector<StorageScenario> StorageScenarios() {
    using Op = FaultyStorage::Op;
    const char* noSpace = "空き容量が足りません";
    // clang-format off
    return {
        {"NoSpaceDuringAPage", ENOSPC, noSpace, "", {}, 1,
         [](FaultyStorage& s, const QString& d) {
             s.limitedFolder = d;
             s.freeBytes = 10;
         }},
        {"NoSpaceDuringAPicture", ENOSPC, noSpace, "/2.jpg", {"000001.html", "000002.jpg"}, 3,
         [](FaultyStorage& s, const QString& d) {
             s.limitedFolder = d;
             s.freeBytes = 6000;  // room for a.html and one 4000-byte picture
         }},
        {"NoSpaceDuringTheRename", ENOSPC, noSpace, "/1.jpg", {"000001.html"}, 2,
         [](FaultyStorage& s, const QString&) {
             s.fault = [](Op op, const QString& to) {
                 return op == Op::Rename && to.endsWith(".jpg") ? ENOSPC : 0;
             };
         }},
        {"RunFolderDeleted", ENOENT, "フォルダが見つかりません", "/1.jpg", {}, 2,
         [](FaultyStorage& s, const QString&) {
             s.fault = [&s](Op op, const QString& folder) {
                 if (op == Op::Create && s.calls(Op::Create) == 2)
                     QDir(folder).removeRecursively();
                 return 0;
             };
         }},
        {"DownloadFolderMadeReadOnly", EACCES, "書き込みが許可されていません", "/1.jpg",
         {"000001.html"}, 2,
         [](FaultyStorage& s, const QString& d) {
             s.fault = [&s, d](Op op, const QString& folder) {
                 const bool below = folder.startsWith(d);
                 return op == Op::Create && below && s.calls(Op::Create) >= 2 ? EACCES : 0;
             };
         }},
    };
    // clang-format on
}

inline QString StorageWarningText(const QString& runFolder, const StorageScenario& s) {
    return "フォルダ「" + runFolder + "」にファイルを保存できませんでした。\r\r" + s.cause + "。";
}

// Temporary files anywhere under folder: none may stay behind.
inline QStringList LeftoverTemporaries(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, {".download-*"}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) found << it.next();
    return found;
}
