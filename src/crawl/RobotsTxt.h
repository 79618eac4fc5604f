#pragma once
// A robots.txt taken apart for one crawler: the group naming it, else the "*" group, and
// the longest matching Allow or Disallow line deciding each path.

#include <QByteArray>
#include <QString>
#include <vector>

struct RobotsAnswer {
    long httpStatus = 0;
    QByteArray body;
};

class RobotsTxt {
public:
    // Everything allowed.
    RobotsTxt() = default;
    static RobotsTxt Parse(const QByteArray& text, const QString& agent);
    // What a fetch of robots.txt means: a missing file allows everything, a server error
    // forbids everything (the site cannot say what it wants), a file is parsed.
    static RobotsTxt FromAnswer(const RobotsAnswer& answer, const QString& agent);
    static RobotsTxt DisallowAll();

    // pathAndQuery starts with "/".
    bool allows(const QString& pathAndQuery) const;

private:
    struct Line {
        QString pattern;
        bool allow = false;
    };
    std::vector<Line> mLines;
};

// "/path?query" of a URL; "/" when it has no path.
QString RobotsPath(const QString& url);
