#include "crawl/RobotsTxt.h"

#include <QList>
#include <algorithm>
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

// "key: value", or "key value" when the colon was forgotten (two words and no more, so that a
// sentence is not read as a rule). False for a line that is neither.
bool SplitLine(const QString& line, QString* key, QString* value) {
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0) {
        const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.size() != 2) return false;
        *key = words[0].toLower();
        *value = words[1];
        return true;
    }
    *key = line.left(colon).trimmed().toLower();
    *value = line.mid(colon + 1).trimmed();
    return true;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
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
        QString key;
        QString value;
        if (!SplitLine(line, &key, &value)) continue;
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

void RobotsTxt::add(const QString& written, bool allow) {
    const QString pattern = RobotsEncoded(written);
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
    const QString path = RobotsEncoded(pathAndQuery);
    qsizetype best = -1;
    bool allowed = true;
    for (const Line& line : mLines) {
        if (!Matches(line, path)) continue;
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

QString RobotsEncoded(QStringView text) {
    // Most paths are plain ASCII without escapes: nothing to do.
    const bool plain = std::all_of(text.begin(), text.end(),
                                   [](QChar c) { return c.unicode() < 0x80 && c != u'%'; });
    if (plain) return text.toString();
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 0x80) {
            out += '%';
            out += QByteArray::number(byte, 16).toUpper();
        } else if (byte == '%' && i + 2 < utf8.size() && IsHex(utf8[i + 1]) && IsHex(utf8[i + 2])) {
            out += '%';
            out += utf8.mid(i + 1, 2).toUpper();
            i += 2;
        } else {
            out += char(byte);
        }
    }
    return QString::fromLatin1(out);
}
