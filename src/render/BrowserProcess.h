#pragma once
// The browser as a child process that speaks its debugging protocol through two pipes: it reads
// messages on its descriptor 3 and writes them on its descriptor 4, each ended by a NUL byte.
// The child runs in a process group of its own, so that it and every helper it starts end
// together; it also ends by itself when its end of the pipes closes (this process died).

#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class BrowserProcess {
public:
    BrowserProcess() = default;
    BrowserProcess(const BrowserProcess&) = delete;
    BrowserProcess& operator=(const BrowserProcess&) = delete;
    ~BrowserProcess() { stop(); }

    // False, with a short English diagnostic, when it could not be started.
    bool start(const QString& program, const QStringList& arguments, QString* error);
    bool running() const { return mPid > 0; }
    pid_t pid() const { return mPid; }
    // Queues one message; it goes out as the pipe takes it, in pump().
    void send(const QByteArray& message);
    // Writes what is queued and reads what came, waiting at most waitMs for either; appends
    // the messages that came whole to received. False once the browser is gone (it ended or
    // closed its pipe): it is then stopped.
    bool pump(int waitMs, QList<QByteArray>* received);
    // Ends the browser and every process of its group at once, and reaps it.
    void stop();

private:
    bool flush();
    bool drain(QList<QByteArray>* received);

    pid_t mPid = -1;
    int mToBrowser = -1;
    int mFromBrowser = -1;
    QByteArray mOut;  // not yet written
    QByteArray mIn;   // the start of a message not yet whole
};
