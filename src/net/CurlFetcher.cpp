#include "net/CurlFetcher.h"

#include <QFile>
#include <QUrl>
#include <algorithm>
#include <limits>
#include <utility>

#include "core/CrawlOptions.h"
#include "net/TransferJob.h"
#include "net/TransferThread.h"

namespace {

char HexDigit(int value) {
    return "0123456789ABCDEF"[value & 0xF];
}

}  // namespace

QByteArray EncodeUrlForTransfer(const QString& url) {
    const QByteArray text = url.toUtf8();
    QByteArray wire;
    wire.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte <= 0x20 || byte >= 0x7F) {
            wire += '%';
            wire += HexDigit(byte >> 4);
            wire += HexDigit(byte);
        } else {
            wire += ch;
        }
    }
    return wire;
}

CurlFetcher::Options CrawlFetcherOptions(const CrawlOptions& crawl) {
    CurlFetcher::Options options;
    options.connections =
        std::clamp(crawl.connections, CrawlOptions::kMinConnections, CrawlOptions::kMaxConnections);
    options.delayMs = std::max(0, crawl.delayMs);
    options.userAgent = EffectiveUserAgent(crawl).toUtf8();
    options.cookieFile = QFile::encodeName(crawl.cookieFile);
    options.retries = std::clamp(crawl.retries, 0, CrawlOptions::kMaxRetries);
    return options;
}

struct CurlFetcher::Impl {
    explicit Impl(const Options& opts) : options(opts), thread(opts) {}
    Options options;
    TransferThread thread;
};

namespace {

CurlFetcher::Options Clamped(CurlFetcher::Options options) {
    options.connections = std::clamp(options.connections, 1, CrawlOptions::kMaxConnections);
    options.delayMs = std::max(0, options.delayMs);
    options.retries = std::clamp(options.retries, 0, CrawlOptions::kMaxRetries);
    return options;
}

}  // namespace

CurlFetcher::CurlFetcher() : CurlFetcher(Options{}) {}

CurlFetcher::CurlFetcher(const Options& options)
    : mImpl(std::make_unique<Impl>(Clamped(options))) {}

CurlFetcher::~CurlFetcher() = default;
CurlFetcher::CurlFetcher(CurlFetcher&& other) noexcept = default;
CurlFetcher& CurlFetcher::operator=(CurlFetcher&& other) noexcept = default;

void CurlFetcher::setFileAllowed(bool allowed) {
    if (!mImpl) return;
    mImpl->options.allowFile = allowed;
    mImpl->thread.setOptions(mImpl->options);
}

FetchResult CurlFetcher::fetch(const QString& url, const Fetcher::Sink& sink,
                               const Fetcher::Progress& progress) {
    return FetchThrough(*this, url, std::numeric_limits<std::int64_t>::max(), sink, progress);
}

int CurlFetcher::start(const QString& url, std::int64_t maxBytes, Write write) {
    if (!mImpl) return 0;  // moved from: nothing is fetched
    auto job = std::make_unique<TransferJob>();
    job->url = url;
    if (mImpl->options.delayMs > 0 || mImpl->options.retries > 0)
        job->host = QUrl(url).host().toLower();
    job->maxBytes = maxBytes;
    job->write = std::move(write);
    return mImpl->thread.add(std::move(job));
}

Transfers::State CurlFetcher::state(int id) const {
    return mImpl ? mImpl->thread.state(id) : State::Ended;
}

Transfers::Wait CurlFetcher::wait(int id, const Turn& turn) {
    for (;;) {
        if (turn && !turn()) return Wait::Stopped;
        if (state(id) != State::Running) return Wait::Ready;
        if (mImpl && mImpl->thread.waitChange(mImpl->options.serviceIntervalMs))
            return state(id) != State::Running ? Wait::Ready : Wait::Changed;
    }
}

void CurlFetcher::resume(int id) {
    if (mImpl) mImpl->thread.resume(id);
}

FetchResult CurlFetcher::release(int id) {
    if (mImpl) return mImpl->thread.release(id);
    FetchResult failed;
    failed.error = QStringLiteral("no transfer handle");
    return failed;
}

int CurlFetcher::connections() const {
    return mImpl ? mImpl->options.connections : 1;
}

Transfers::Waits CurlFetcher::waits() const {
    return mImpl ? mImpl->thread.waits() : Waits{};
}
