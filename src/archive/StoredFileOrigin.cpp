#include "archive/StoredFileOrigin.h"

#include <QDir>
#include <QFileInfo>

#include "archive/ArchiveLooks.h"
#include "archive/CrawlArchive.h"
#include "archive/SqliteDb.h"
#include "core/TerminalText.h"

namespace {

constexpr std::chrono::milliseconds kLookUpMost{200};

}  // namespace

std::optional<StoredFileOrigin> LookUpOrigin(const QString& file) {
    const QFileInfo info(QFileInfo(file).absoluteFilePath());
    const QDir runFolder = info.dir();
    SqliteDb db;  // a look-up never writes, nor waits for a writer
    if (!db.openReadOnly(CrawlArchive::PathIn(QFileInfo(runFolder.absolutePath()).path())))
        return std::nullopt;
    db.limitStatements(kLookUpMost);  // the window's tooltips wait for it
    SqliteDb::Statement s = db.prepare(
        "SELECT r.folder, r.start_url, r.started, a.number, a.url, a.found_on, a.kind, "
        "a.http_status, a.bytes, a.sha256, a.outcome, a.why FROM attempts a JOIN runs r "
        "ON a.run = r.id WHERE r.folder = ? AND a.file_name = ? ORDER BY a.id DESC LIMIT 1");
    s.bind(1, runFolder.dirName()).bind(2, info.fileName());
    if (!s.next()) return std::nullopt;
    StoredFileOrigin o;
    o.runFolder = s.text(0);
    o.startUrl = s.text(1);
    o.runStarted = s.text(2);
    o.number = s.number(3);
    o.url = s.text(4);
    o.foundOn = s.text(5);
    o.kind = s.text(6);
    o.httpStatus = s.number(7);
    o.bytes = s.number(8);
    o.sha256 = s.text(9);
    o.outcome = s.text(10);
    o.why = s.text(11);
    o.changed = !StillThere(QFileInfo(runFolder.absolutePath()).path(),
                            o.runFolder + u'/' + info.fileName(), o.bytes);
    return o;
}

QString OriginReport(const QString& file, const StoredFileOrigin& o) {
    QString text;
    const auto line = [&text](const char* key, const QString& value) {
        if (!value.isEmpty())
            text += QString::fromLatin1(key) + QStringLiteral(": ") + TerminalText(value) + u'\n';
    };
    line("file", file);
    line("url", o.url);
    line("found on", o.foundOn);
    line("kind", o.kind);
    line("number", QString::number(o.number));
    line("http status", o.httpStatus ? QString::number(o.httpStatus) : QString());
    line("bytes", QString::number(o.bytes));
    line("sha256", o.sha256);
    line("outcome", o.outcome);
    line("why", o.why);
    line("run", o.runFolder + QStringLiteral(" started ") + o.runStarted);
    line("start url", o.startUrl);
    if (o.changed)
        line("note", QStringLiteral("the file is no longer the one recorded (%1 bytes now)")
                         .arg(QFileInfo(file).size()));
    return text;
}

QString OriginTooltip(const StoredFileOrigin& o) {
    QString text = QStringLiteral("取得元: ") + o.url;
    if (!o.foundOn.isEmpty()) text += QStringLiteral("\n掲載ページ: ") + o.foundOn;
    if (o.changed) text += QStringLiteral("\n（記録された後にファイルが変わっています）");
    return text;
}
