#include "crawl/RobotsTxt.h"

#include <QList>
#include <utility>

namespace {

struct Group {
    QStringList agents;
    std::vector<std::pair<QString, bool>> lines;  // pattern, allow
};

// The product token at the start of a User-agent value: "SiteRambler/1.0" gives "SiteRambler".
QString ProductToken(const QString& value) {
    qsizetype end = 0;
    while (end < value.size() && (value[end].isLetterOrNumber() || value[end] == u'-' ||
                                  value[end] == u'_' || value[end] == u'*'))
        ++end;
    return value.left(end);
}

std::vector<Group> ParseGroups(QByteArray text) {
    // Lines end in LF, CR LF or CR alone; a byte order mark ahead of the first is no part of it.
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    text.replace('\r', '\n');
    std::vector<Group> groups;
    bool inRules = true;  // the next User-agent line starts a new group
    for (const QByteArray& raw : text.split('\n')) {
        QString line = QString::fromUtf8(raw);
        const qsizetype hash = line.indexOf(u'#');
        if (hash >= 0) line.truncate(hash);
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) continue;
        const QString key = line.left(colon).trimmed().toLower();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == u"user-agent") {
            if (inRules || groups.empty()) groups.emplace_back();
            inRules = false;
            groups.back().agents << ProductToken(value);
        } else if ((key == u"allow" || key == u"disallow") && !groups.empty()) {
            inRules = true;
            if (!value.isEmpty()) groups.back().lines.emplace_back(value, key == u"allow");
        }
    }
    return groups;
}

}  // namespace

RobotsTxt RobotsTxt::Parse(const QByteArray& text, const QString& agent) {
    const std::vector<Group> groups = ParseGroups(text);
    const auto collect = [&](const QString& name) {
        RobotsTxt robots;
        bool any = false;
        for (const Group& g : groups) {
            if (!g.agents.contains(name, Qt::CaseInsensitive)) continue;
            any = true;
            for (const auto& [pattern, allow] : g.lines) robots.add(pattern, allow);
        }
        return std::make_pair(any, robots);
    };
    auto named = collect(agent);
    if (named.first) return named.second;
    return collect(QStringLiteral("*")).second;
}

RobotsTxt RobotsTxt::FromAnswer(const RobotsAnswer& answer, const QString& agent) {
    if (answer.httpStatus >= 500) return DisallowAll();
    if (answer.httpStatus >= 200 && answer.httpStatus < 300) return Parse(answer.body, agent);
    return RobotsTxt();
}

RobotsTxt RobotsTxt::DisallowAll() {
    RobotsTxt robots;
    robots.add(QStringLiteral("/"), false);
    return robots;
}

void RobotsTxt::add(const QString& pattern, bool allow) {
    Line line;
    line.length = pattern.size();
    line.anchored = pattern.endsWith(u'$');
    line.pieces = QStringView(pattern).chopped(line.anchored ? 1 : 0).toString().split(u'*');
    line.allow = allow;
    mLines.push_back(std::move(line));
}

// "*" matches any run of characters, a final "$" the end of the path; otherwise a pattern
// matches the start of the path.
bool RobotsTxt::Matches(const Line& line, QStringView path) {
    const QList<QString>& pieces = line.pieces;
    if (!path.startsWith(pieces.front())) return false;
    if (pieces.size() == 1) return !line.anchored || path.size() == pieces.front().size();
    qsizetype at = pieces.front().size();
    for (qsizetype i = 1; i + 1 < pieces.size(); ++i) {
        const qsizetype found = path.indexOf(pieces[i], at);
        if (found < 0) return false;
        at = found + pieces[i].size();
    }
    const QString& last = pieces.back();
    if (!line.anchored) return path.indexOf(last, at) >= 0;
    return path.size() - last.size() >= at && path.endsWith(last);
}

bool RobotsTxt::allows(const QString& pathAndQuery) const {
    // The longest matching line decides; Allow wins a tie.
    qsizetype best = -1;
    bool allowed = true;
    for (const Line& line : mLines) {
        if (!Matches(line, pathAndQuery)) continue;
        if (line.length > best || (line.length == best && line.allow)) {
            best = line.length;
            allowed = line.allow;
        }
    }
    return allowed;
}

QString RobotsPath(const QString& url) {
    const qsizetype scheme = url.indexOf(u"://");
    const qsizetype from = scheme < 0 ? 0 : scheme + 3;
    qsizetype path = from;
    while (path < url.size() && url[path] != u'/' && url[path] != u'?' && url[path] != u'#') ++path;
    QString rest = url.mid(path);
    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0) rest.truncate(hash);
    if (!rest.startsWith(u'/')) rest.prepend(u'/');
    return rest;
}
