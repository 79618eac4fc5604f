#pragma once
// The crawl's progress on stderr, as Wget and curl show theirs: on a terminal one line redrawn in
// place and fitted to the terminal's width; into a file or a pipe a plain line every few seconds.

#include <QString>
#include <cstdint>
#include <cstdio>

struct ProgressFigures {
    std::int64_t pages = 0;
    std::int64_t picturesKept = 0;
    std::int64_t linksQueued = 0;
    std::int64_t imagesQueued = 0;
    std::int64_t bytes = 0;
    std::int64_t elapsedMs = 0;
    int retries = 0;            // tries again of fetches
    std::int64_t waitedMs = 0;  // the time they waited
    int resends = 0;            // requests sent again after their connection failed unanswered
    QString waitingFor;         // a host a request waits for now
};

// The progress text. width <= 0: the full line that logs and scripts read; otherwise the longest
// form that fits in width - 1 columns (the last column is left free so that no terminal wraps).
QString FormatProgress(const ProgressFigures& figures, int width = 0);

// "999 B", "12.3 kB", "4.5 MB", "1.2 GB" (1000-based, like the image size limit).
QString FormatBytes(std::int64_t bytes);
// "0:07", "12:34", "1:02:03".
QString FormatElapsed(std::int64_t ms);

class ProgressDisplay {
public:
    static constexpr std::int64_t kTerminalEveryMs = 100;
    static constexpr std::int64_t kPlainEveryMs = 5000;

    ProgressDisplay(std::FILE* out, bool terminal) : mOut(out), mTerminal(terminal) {}

    // Fixes the width instead of asking the terminal (tests, terminals that do not tell).
    void setWidth(int columns) { mFixedWidth = columns; }
    // Shows the figures when the last showing is long enough ago, or the wait for a host began
    // or ended; true when it did.
    bool update(const ProgressFigures& figures, std::int64_t nowMs);
    // Ends the line being redrawn, so that other messages start on a line of their own.
    void breakLine();
    // The last figures as a plain full line, whatever the output.
    void finalLine(const ProgressFigures& figures);

private:
    int width() const;

    std::FILE* mOut;
    bool mTerminal;
    int mFixedWidth = 0;
    bool mLineOpen = false;
    std::int64_t mLastMs = -1;
    QString mWaitingFor;  // the host the last line said the crawl waits for
};
