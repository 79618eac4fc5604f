#pragma once
// Fetching one URL as the bytes of its body. The crawl sees nothing of the transfer library.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <utility>

enum class FetchOutcome {
    Ok,       // the whole body went to the sink
    Failed,   // network error, HTTP error status, refused scheme, time-out, too large
    Aborted,  // the progress callback asked to stop (cancel, program ending)
};

// Why a fetch failed, in the terms a user can act on.
enum class FetchCause {
    None,         // it did not fail
    NotFound,     // HTTP 404 or 410, or no such local file
    ServerError,  // any other HTTP error status
    Refused,      // nothing accepted the connection
    NoHost,       // the host name is not known
    Certificate,  // the server's certificate is not trusted
    TimedOut,     // no answer, or the answer stalled
    BadUrl,       // malformed, or of a scheme not fetched
    Other,        // a broken transfer, a body too large ...
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::Failed;
    long httpStatus = 0;                   // 0 when there was no HTTP answer
    QString error;                         // short English diagnostic, never shown in a window
    QByteArray sha256;     // raw SHA-256 of the body the sink received, when worked out aside
    int storageError = 0;  // errno when the body could not be held on this machine, else 0
    FetchCause cause = FetchCause::Other;  // of a failure; None when Ok
    QString contentType;                   // the answer's Content-Type as sent; empty when none
};

class Fetcher {
public:
    // Receives the body in pieces; returns false to stop the transfer (a write failed).
    using Sink = std::function<bool(const char* data, std::size_t size)>;
    // Called often while a transfer runs; returns false to abort it.
    using Progress = std::function<bool()>;

    // The URLs the run will most likely ask for next, in the order it would ask for them (the
    // one it is working on first). The first `settled` of them keep their places: what the run
    // finds meanwhile queues behind them; the rest may be pushed back by what a page scan
    // queues in front (-1: not known).
    struct NextUrls {
        NextUrls() = default;
        NextUrls(QStringList list, int settledCount = -1)  // NOLINT: a plain list converts
            : urls(std::move(list)), settled(settledCount) {}
        QStringList urls;
        int settled = -1;
    };
    // At most max URLs. Asked often: it must be cheap.
    using Lookahead = std::function<NextUrls(int max)>;

    virtual ~Fetcher() = default;
    virtual FetchResult fetch(const QString& url, const Sink& sink, const Progress& progress) = 0;
    // A fetcher may fetch ahead what the lookahead names; an empty one ends that and drops
    // whatever was fetched ahead and not asked for. The default fetches only what is asked.
    virtual void setLookahead(Lookahead lookahead) { (void)lookahead; }
    // The whole body of url as a transfer started ahead received it, while it is held in memory
    // and not yet asked for; null otherwise. Good until the fetcher is called again.
    virtual const QByteArray* aheadBody(const QString& url) const {
        (void)url;
        return nullptr;
    }
    // True when every Ok result carries the SHA-256 of its body, worked out off the caller's
    // thread: the caller need not digest the bytes itself.
    virtual bool digestsBodies() const { return false; }
};

// A fetcher that adds to another one's fetch and passes everything else through: what the inner
// one can do (fetch ahead, digest bodies) is never lost behind it.
class ForwardingFetcher : public Fetcher {
public:
    explicit ForwardingFetcher(Fetcher& inner) : mInner(inner) {}
    FetchResult fetch(const QString& url, const Sink& sink, const Progress& progress) override {
        return mInner.fetch(url, sink, progress);
    }
    void setLookahead(Lookahead lookahead) override { mInner.setLookahead(std::move(lookahead)); }
    const QByteArray* aheadBody(const QString& url) const override { return mInner.aheadBody(url); }
    bool digestsBodies() const override { return mInner.digestsBodies(); }

private:
    Fetcher& mInner;
};
