#include "cli/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

#include "core/TerminalText.h"

namespace {

double Seconds(const ProgressFigures& f) {
    return std::max<std::int64_t>(f.elapsedMs, 1) / 1000.0;
}

QString Number(std::int64_t n) {
    return QString::number(n);
}

// The tries again, the requests resent and the wait for a host, after the figures; nothing when
// there were none.
QString Waits(const ProgressFigures& f) {
    QString text;
    if (f.retries > 0)
        text += QStringLiteral(", %1 retries after %2 s of waits")
                    .arg(f.retries)
                    .arg(f.waitedMs / 1000.0, 0, 'f', 1);
    if (f.resends > 0) text += QStringLiteral(", %1 resent on a new connection").arg(f.resends);
    if (!f.waitingFor.isEmpty())
        text += QStringLiteral(", waiting for ") + TerminalText(f.waitingFor);
    return text;
}

// The plain line: logs and the soak benchmark read its fields by position, so it keeps its form.
QString PlainLine(const ProgressFigures& f) {
    const double s = Seconds(f);
    const double mb = f.bytes / 1e6;
    return QStringLiteral(
               "pages %1, images kept %2, queued %3 links %4 images, %5 MB, "
               "%6 pages/s, %7 MB/s, %8 s")
        .arg(f.pages)
        .arg(f.picturesKept)
        .arg(f.linksQueued)
        .arg(f.imagesQueued)
        .arg(mb, 0, 'f', 1)
        .arg(f.pages / s, 0, 'f', 1)
        .arg(mb / s, 0, 'f', 2)
        .arg(s, 0, 'f', 0);
}

// The terminal's forms, longest first; each one drops or shortens what matters least.
QStringList TerminalForms(const ProgressFigures& f) {
    const double s = Seconds(f);
    const QString pages = Number(f.pages) + QStringLiteral(" pages");
    const QString kept = Number(f.picturesKept);
    const QString bytes = FormatBytes(f.bytes);
    const QString rate = FormatBytes(static_cast<std::int64_t>(f.bytes / s)) + QStringLiteral("/s");
    const QString time = FormatElapsed(f.elapsedMs);
    const QString queues = Number(f.linksQueued) + QLatin1Char('+') + Number(f.imagesQueued);
    return {
        QStringLiteral("%1, %2 pictures kept, queued %3 links %4 images, %5 at %6, "
                       "%7 pages/s, %8")
            .arg(pages, kept, Number(f.linksQueued), Number(f.imagesQueued), bytes, rate)
            .arg(f.pages / s, 0, 'f', 1)
            .arg(time),
        QStringLiteral("%1, %2 kept, queued %3, %4 at %5, %6")
            .arg(pages, kept, queues, bytes, rate, time),
        QStringLiteral("%1, %2 kept, queued %3, %4").arg(pages, kept, queues, time),
        QStringLiteral("%1p %2k %3q %4").arg(Number(f.pages), kept, queues, time),
    };
}

}  // namespace

QString FormatBytes(std::int64_t bytes) {
    if (bytes < 1000) return QStringLiteral("%1 B").arg(std::max<std::int64_t>(bytes, 0));
    static const char* const units[] = {"kB", "MB", "GB", "TB"};
    double value = bytes / 1000.0;
    int unit = 0;
    while (value >= 999.95 && unit < 3) {
        value /= 1000.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString FormatElapsed(std::int64_t ms) {
    const std::int64_t total = std::max<std::int64_t>(ms, 0) / 1000;
    const std::int64_t h = total / 3600;
    const std::int64_t m = total / 60 % 60;
    const std::int64_t sec = total % 60;
    if (h)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(sec, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(total / 60).arg(sec, 2, 10, QLatin1Char('0'));
}

QString FormatProgress(const ProgressFigures& figures, int width) {
    if (width <= 0) return PlainLine(figures) + Waits(figures);  // the waits last, when any
    const QString waiting = figures.waitingFor.isEmpty()
                                ? QString()
                                : QStringLiteral("waiting for ") +
                                      TerminalText(figures.waitingFor) + QStringLiteral(": ");
    const qsizetype room = std::max(width - 1, 1);
    const QStringList forms = TerminalForms(figures);
    for (const QString& form : forms)
        if (waiting.size() + form.size() <= room) return waiting + form;
    return (waiting + forms.last()).left(room);
}

bool ProgressDisplay::update(const ProgressFigures& figures, std::int64_t nowMs) {
    const std::int64_t every = mTerminal ? kTerminalEveryMs : kPlainEveryMs;
    // a wait for a host that begins or ends is told at once, into a log too
    const bool waitChanged = figures.waitingFor != mWaitingFor;
    if (!waitChanged && mLastMs >= 0 && nowMs - mLastMs < every) return false;
    mWaitingFor = figures.waitingFor;
    mLastMs = nowMs;
    if (mTerminal) {
        const QByteArray line = FormatProgress(figures, width()).toLocal8Bit();
        std::fprintf(mOut, "\r%s\033[K", line.constData());
        mLineOpen = true;
    } else {
        std::fprintf(mOut, "%s\n", FormatProgress(figures).toLocal8Bit().constData());
    }
    std::fflush(mOut);
    return true;
}

void ProgressDisplay::breakLine() {
    if (!mLineOpen) return;
    // the message takes the line; the progress comes back below it at the next update
    std::fputs("\r\033[K", mOut);
    mLineOpen = false;
    mLastMs = -1;
}

void ProgressDisplay::finalLine(const ProgressFigures& figures) {
    breakLine();
    std::fprintf(mOut, "%s\n", FormatProgress(figures).toLocal8Bit().constData());
    std::fflush(mOut);
}

int ProgressDisplay::width() const {
    if (mFixedWidth > 0) return mFixedWidth;
    winsize size{};
    if (ioctl(fileno(mOut), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    const int columns = std::atoi(std::getenv("COLUMNS") ? std::getenv("COLUMNS") : "");
    return columns > 0 ? columns : 80;
}
