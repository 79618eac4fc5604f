#include "render/BrowserProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void BecomeBrowser(int commands, int replies, const char* path, char* const* argv) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a crash of this process takes the browser along
    // the pipes go to 3 and 4, where the browser looks for them; dup2 clears close-on-exec
    if (::dup2(commands, 3) < 0 || ::dup2(replies, 4) < 0) ::_exit(127);
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {  // its chatter is no output of this program
        ::dup2(devNull, 1);
        ::dup2(devNull, 2);
    }
    ::execv(path, argv);
    ::_exit(127);
}

}  // namespace

bool BrowserProcess::start(const QString& program, const QStringList& arguments, QString* error) {
    stop();
    int commands[2] = {-1, -1}, replies[2] = {-1, -1};
    // above 4, so that moving them onto 3 and 4 in the child never overwrites the other one
    if (::pipe2(commands, O_CLOEXEC) != 0 || ::pipe2(replies, O_CLOEXEC) != 0) {
        *error = QStringLiteral("pipe: ") + QString::fromLocal8Bit(std::strerror(errno));
        for (int fd : {commands[0], commands[1], replies[0], replies[1]})
            if (fd >= 0) ::close(fd);
        return false;
    }
    for (int* fd : {&commands[0], &replies[1]}) {
        const int high = ::fcntl(*fd, F_DUPFD_CLOEXEC, 5);
        ::close(*fd);
        *fd = high;
    }
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> texts{path};
    for (const QString& argument : arguments) texts.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) BecomeBrowser(commands[0], replies[1], path.constData(), argv.data());
    ::close(commands[0]);
    ::close(replies[1]);
    if (pid < 0) {
        *error = QStringLiteral("fork: ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(commands[1]);
        ::close(replies[0]);
        return false;
    }
    ::setpgid(pid, pid);  // also here, so that no kill can come before the child did it
    mPid = pid;
    mToBrowser = commands[1];
    mFromBrowser = replies[0];
    ::fcntl(mToBrowser, F_SETFL, O_NONBLOCK);
    ::fcntl(mFromBrowser, F_SETFL, O_NONBLOCK);
    return true;
}

void BrowserProcess::send(const QByteArray& message) {
    mOut += message;
    mOut += '\0';
}

bool BrowserProcess::pump(int waitMs, QList<QByteArray>* received) {
    if (!running()) return false;
    pollfd fds[2] = {{mFromBrowser, POLLIN, 0},
                     {mToBrowser, short(mOut.isEmpty() ? 0 : POLLOUT), 0}};
    if (::poll(fds, 2, waitMs) < 0 && errno != EINTR) {
        stop();
        return false;
    }
    const bool ok = (!(fds[1].revents & POLLOUT) || flush()) &&
                    (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)) || drain(received)) &&
                    !(fds[1].revents & POLLERR);
    if (!ok) stop();
    return ok;
}

bool BrowserProcess::flush() {
    while (!mOut.isEmpty()) {
        const ssize_t n = ::write(mToBrowser, mOut.constData(), size_t(mOut.size()));
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        mOut.remove(0, n);
    }
    return true;
}

bool BrowserProcess::drain(QList<QByteArray>* received) {
    // A page decides how large its rendered document is: one message past this is taken for a
    // browser gone wrong, and one call reads no more than a slice, so the window is serviced.
    constexpr qsizetype kMostMessage = qsizetype(64) << 20;
    constexpr int kMostReadsPerCall = 64;
    char buffer[65536];
    for (int reads = 0; reads < kMostReadsPerCall; ++reads) {
        const ssize_t n = ::read(mFromBrowser, buffer, sizeof buffer);
        if (n == 0) return false;  // the browser closed its end: it ended
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        qsizetype from = mIn.size();
        mIn.append(buffer, n);
        qsizetype begin = 0;
        for (qsizetype end; (end = mIn.indexOf('\0', from)) >= 0; begin = from = end + 1)
            received->append(mIn.mid(begin, end - begin));
        mIn.remove(0, begin);
        if (mIn.size() > kMostMessage) return false;
    }
    return true;
}

void BrowserProcess::stop() {
    // Killed with every process of its group, not asked to end: a browser takes a tenth of a
    // second or more to end by itself, which the window would wait for, and nothing of its
    // profile is kept. The helpers are not this process's children: their remains are the
    // system's to reap.
    if (mPid > 0) {
        ::kill(-mPid, SIGKILL);
        ::kill(mPid, SIGKILL);
        while (::waitpid(mPid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    mPid = -1;
    CloseFd(mToBrowser);
    CloseFd(mFromBrowser);
    mOut.clear();
    mIn.clear();
}
