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

struct CurlFetcher::Impl {
    explicit Impl(const Options& opts) : options(opts), thread(opts) {}
    Options options;
    TransferThread thread;
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
    mImpl->thread.setOptions(mImpl->options);
}

void CurlFetcher::setRedirectsFollowed(bool follow) {
    if (mImpl->options.followRedirects == follow) return;  // the idle handles stay
    mImpl->options.followRedirects = follow;
    mImpl->thread.setOptions(mImpl->options);
}

int CurlFetcher::start(const QString& url, std::int64_t maxBytes, Write write) {
    auto job = std::make_unique<TransferJob>();
    job->url = url;
    if (mImpl->options.delayMs > 0 || mImpl->options.retries > 0) job->host = UrlHost(url);
    job->maxBytes = maxBytes;
    job->write = std::move(write);
    return mImpl->thread.add(std::move(job));
}

Transfers::State CurlFetcher::state(int id) const {
    return mImpl->thread.state(id);
}

Transfers::Wait CurlFetcher::wait(int id, const Turn& turn) {
    for (;;) {
        if (turn && !turn()) return Wait::Stopped;
        if (state(id) != State::Running) return Wait::Ready;
        if (mImpl->thread.waitChange(mImpl->options.serviceIntervalMs))
            return state(id) != State::Running ? Wait::Ready : Wait::Changed;
    }
}

void CurlFetcher::resume(int id) {
    mImpl->thread.resume(id);
}

FetchResult CurlFetcher::release(int id) {
    return mImpl->thread.release(id);
}

int CurlFetcher::connections() const {
    // Over HTTP/2 each connection carries several requests at once; a pool of one stays the
    // one-at-a-time crawl.
    const int connections = mImpl->options.connections;
    return connections > 1 && mImpl->thread.multiplexes() ? connections * TransferThread::kStreams
                                                          : connections;
}

Transfers::Waits CurlFetcher::waits() const {
    return mImpl->thread.waits();
}
