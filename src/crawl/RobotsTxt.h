#pragma once
// A robots.txt taken apart for one crawler: the group naming it, else the "*" group, and
// the longest matching Allow or Disallow line deciding each path.

#include <QByteArray>
#include <QList>
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
    // A pattern split at its "*"s once, when the file is read: "$" at its end anchors it.
    struct Line {
        QList<QString> pieces;
        bool anchored = false;
        qsizetype length = 0;  // of the pattern as written: the longest match decides
        bool allow = false;
    };
    void add(const QString& pattern, bool allow);
    static bool Matches(const Line& line, QStringView path);

    std::vector<Line> mLines;
};

// "/path?query" of a URL; "/" when it has no path.
QString RobotsPath(const QString& url);

// A path or pattern as robots.txt lines and URLs are compared: octets outside ASCII
// percent-encoded, the hex digits of every "%xx" in capitals, everything else as it is.
QString RobotsEncoded(QStringView text);
