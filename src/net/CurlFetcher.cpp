#include "net/CurlFetcher.h"

#include <QFile>
#include <algorithm>
#include <utility>

#include "core/CrawlOptions.h"
#include "core/UrlText.h"
#include "net/TransferJob.h"
#include "net/TransferThread.h"

QByteArray EncodeUrlForTransfer(const QString& url) {
    const QByteArray text = url.toUtf8();
    QByteArray wire;
    wire.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte > 0x20 && byte < 0x7F) {
            wire += ch;
        } else {
            wire += '%';
            wire += "0123456789ABCDEF"[byte >> 4];
            wire += "0123456789ABCDEF"[byte & 0xF];
        }
    }
    return wire;
}

CurlFetcher::Options CrawlFetcherOptions(const CrawlOptions& crawl) {
    CurlFetcher::Options options;  // clamped by the fetcher
    options.connections = crawl.connections;
    options.delayMs = crawl.delayMs;
    options.userAgent = EffectiveUserAgent(crawl).toUtf8();
    options.cookieFile = QFile::encodeName(crawl.cookieFile);
    options.retries = crawl.retries;
    options.limitRate = crawl.limitRate;
    options.proxy = crawl.proxy.toUtf8();
    return options;
}

namespace {

// Whether the transfers keep each host's pace: its least delay, and its slowing down on 429
// and 503 when a failed try goes again.
bool KeepsHostsPace(const CurlFetcher::Options& o) {
    return o.delayMs > 0 || o.retries > 0;
}

// Over a fast network one thread cannot keep up with the bodies of several connections (its
// sockets, decoding, writes and digests took as long as Wget2's whole crawl of a loopback site):
// the connections are shared by two threads, each with a multi handle of its own. Only where no
// host's pace is kept (a least delay, slowing down on 429 and 503, a rate, cookies): that state
// is one thread's own.
int ThreadsFor(const CurlFetcher::Options& o) {
    const bool paced = KeepsHostsPace(o) || o.limitRate > 0 || !o.cookieFile.isEmpty();
    return o.connections >= 2 && !paced ? 2 : 1;
}

}  // namespace

struct CurlFetcher::Impl {
    explicit Impl(const Options& opts) : options(opts) {
        const int count = ThreadsFor(opts);
        for (int i = 0; i < count; ++i) {
            Options share = opts;
            share.connections = opts.connections / count + (i < opts.connections % count ? 1 : 0);
            threads.push_back(std::make_unique<TransferThread>(share, signal));
        }
    }
    TransferThread& of(int id) { return *threads[std::size_t(id) % threads.size()]; }
    int local(int id) const { return id / static_cast<int>(threads.size()); }
    Options options;
    TransferThread::Signal signal;
    std::vector<std::unique_ptr<TransferThread>> threads;
    std::uint64_t seen = 0;  // the run's thread's own
};

CurlFetcher::CurlFetcher() : CurlFetcher(Options{}) {}

CurlFetcher::CurlFetcher(const Options& options) {
    Options clamped = options;
    clamped.connections = std::clamp(options.connections, 1, CrawlOptions::kMaxConnections);
    clamped.delayMs = std::max(0, options.delayMs);
    clamped.retries = std::clamp(options.retries, 0, CrawlOptions::kMaxRetries);
    clamped.limitRate = std::max<std::int64_t>(0, options.limitRate);
    // Under a low rate shared by every connection, each may well move less than the low speed
    // that abandons a stalled transfer.
    if (clamped.limitRate > 0)
        clamped.lowSpeedBytes =
            std::clamp<long>(static_cast<long>(clamped.limitRate / (4 * clamped.connections)), 1,
                             options.lowSpeedBytes);
    mImpl = std::make_unique<Impl>(clamped);
}

CurlFetcher::~CurlFetcher() = default;

void CurlFetcher::setFilePolicy(const FileUrlPolicy& policy) {
    mImpl->options.files = policy;
    for (auto& thread : mImpl->threads) thread->setOptions(mImpl->options);
}

void CurlFetcher::setRedirectsFollowed(bool follow) {
    if (mImpl->options.followRedirects == follow) return;  // the idle handles stay
    mImpl->options.followRedirects = follow;
    for (auto& thread : mImpl->threads) thread->setOptions(mImpl->options);
}

int CurlFetcher::start(const QString& url, std::int64_t maxBytes, Write write) {
    auto job = std::make_unique<TransferJob>();
    job->url = url;
    if (KeepsHostsPace(mImpl->options)) job->host = UrlHost(url);
    job->maxBytes = maxBytes;
    job->write = std::move(write);
    // to the thread with the fewest transfers under way, so that the one waited for starts
    const auto& threads = mImpl->threads;
    std::size_t to = 0;
    for (std::size_t i = 1; i < threads.size(); ++i)
        if (threads[i]->unended() < threads[to]->unended()) to = i;
    return threads[to]->add(std::move(job)) * static_cast<int>(threads.size()) +
           static_cast<int>(to);
}

Transfers::State CurlFetcher::state(int id) const {
    return mImpl->of(id).state(mImpl->local(id));
}

Transfers::Wait CurlFetcher::wait(int id, const Turn& turn) {
    for (;;) {
        if (turn && !turn()) return Wait::Stopped;
        if (state(id) != State::Running) return Wait::Ready;
        if (waitChange(mImpl->options.serviceIntervalMs))
            return state(id) != State::Running ? Wait::Ready : Wait::Changed;
    }
}

bool CurlFetcher::waitChange(int waitMs) {
    TransferThread::Signal& signal = mImpl->signal;
    std::unique_lock<std::mutex> lock(signal.lock);
    const bool changed =
        signal.changed.wait_for(lock, std::chrono::milliseconds(std::max(0, waitMs)),
                                [&] { return signal.changes != mImpl->seen; });
    mImpl->seen = signal.changes;
    return changed;
}

void CurlFetcher::resume(int id) {
    mImpl->of(id).resume(mImpl->local(id));
}

void CurlFetcher::hurry(int id) {
    mImpl->of(id).hurry(mImpl->local(id));
}

FetchResult CurlFetcher::release(int id) {
    return mImpl->of(id).release(mImpl->local(id));
}

int CurlFetcher::connections() const {
    // Over HTTP/2 each connection carries several requests at once; over HTTP/1 a few wait for
    // each connection in its thread; until an answer tells which, no more than the connections
    // (libcurl would queue the rest). A pool of one stays the one-at-a-time crawl.
    const int connections = mImpl->options.connections;
    if (connections <= 1) return connections;
    bool multiplexes = false;
    bool oneAtATime = false;
    for (const auto& thread : mImpl->threads) {
        multiplexes = multiplexes || thread->multiplexes();
        oneAtATime = oneAtATime || thread->oneAtATime();
    }
    if (multiplexes) return connections * TransferThread::kStreams;
    return oneAtATime ? connections * TransferThread::kAskedPerConnection : connections;
}

Transfers::Waits CurlFetcher::waits() const {
    Transfers::Waits all;
    for (const auto& thread : mImpl->threads) {
        const Transfers::Waits one = thread->waits();
        all.retries += one.retries;
        all.resends += one.resends;
        all.waitedMs += one.waitedMs;
        if (all.host.isEmpty()) all.host = one.host;
    }
    return all;
}
