#include "net/CurlFetcher.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>
#include <new>

namespace {

constexpr char kUserAgent[] = "SiteRambler/1.0";

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

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

struct CurlFetcher::Impl {
    explicit Impl(const Options& options);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void applyProtocols();
    FetchResult run(const Progress& progress);
    bool takeTurn();
    static std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* self);

    Options options;
    CURL* easy = nullptr;
    CURLM* multi = nullptr;  // holds the connection cache, so connections outlive a transfer
    char errorText[CURL_ERROR_SIZE] = {};

    // State of the transfer under way.
    const Sink* sink = nullptr;
    const Progress* progress = nullptr;
    std::chrono::steady_clock::time_point lastTurn;
    bool aborted = false;
    std::int64_t received = 0;
    bool tooLarge = false;
    bool sinkRefused = false;
    bool errorStatus = false;
};

CurlFetcher::Impl::Impl(const Options& opts) : options(opts) {
    InitLibraryOnce();
    easy = curl_easy_init();
    multi = curl_multi_init();
    if (!easy || !multi) return;  // every fetch then fails
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_AUTOREFERER, 1L);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    applyProtocols();
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, options.lowSpeedBytes);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, options.lowSpeedSeconds);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(options.maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl can decode
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::WriteBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    if (options.noProxy) curl_easy_setopt(easy, CURLOPT_PROXY, "");
}

CurlFetcher::Impl::~Impl() {
    if (multi) curl_multi_cleanup(multi);
    if (easy) curl_easy_cleanup(easy);
}

void CurlFetcher::Impl::applyProtocols() {
    if (!easy) return;
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR,
                     options.allowFile ? "http,https,file" : "http,https");
}

std::size_t CurlFetcher::Impl::WriteBody(char* data, std::size_t size, std::size_t count,
                                         void* user) {
    auto* self = static_cast<Impl*>(user);
    const std::size_t bytes = size * count;
    // An error page is never stored: refuse its body before any of it is written.
    long status = 0;
    curl_easy_getinfo(self->easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) {
        self->errorStatus = true;
        return 0;
    }
    if (bytes > static_cast<std::uint64_t>(self->options.maxBodyBytes - self->received)) {
        self->tooLarge = true;
        return 0;
    }
    // Data that keeps coming (a compressed body inflating by the gigabyte) would otherwise
    // keep libcurl busy in one stretch, with the window frozen all along.
    if (!self->takeTurn()) return 0;
    self->received += static_cast<std::int64_t>(bytes);
    try {
        if (!(*self->sink)(data, bytes)) {
            self->sinkRefused = true;
            return 0;
        }
    } catch (...) {  // nothing may unwind through libcurl
        self->sinkRefused = true;
        return 0;
    }
    return bytes;
}

// Gives the caller its turn when serviceIntervalMs have passed since the last one; false when
// the caller wants the transfer stopped.
bool CurlFetcher::Impl::takeTurn() {
    const auto now = std::chrono::steady_clock::now();
    if (!progress || !*progress ||
        now - lastTurn < std::chrono::milliseconds(options.serviceIntervalMs))
        return true;
    lastTurn = now;
    bool goOn = false;
    try {  // nothing may unwind through libcurl
        goOn = (*progress)();
    } catch (...) {
    }
    if (!goOn) aborted = true;
    return goOn;
}

// Drives the transfer, giving the caller a turn whenever the network keeps it waiting.
FetchResult CurlFetcher::Impl::run(const Progress& progress) {
    FetchResult result;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        result.error = QStringLiteral("cannot start the transfer");
        return result;
    }
    struct Detach {
        Impl* impl;
        ~Detach() { curl_multi_remove_handle(impl->multi, impl->easy); }
    } detach{this};

    CURLcode code = CURLE_FAILED_INIT;
    bool done = false;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                code = message->data.result;
                done = true;
            }
        }
        if (done || running == 0 || aborted) break;
        lastTurn = std::chrono::steady_clock::now();
        if (progress && !progress()) aborted = true;
        if (aborted) break;
        curl_multi_poll(multi, nullptr, 0, options.serviceIntervalMs, nullptr);
    }

    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    if (aborted) {
        result.outcome = FetchOutcome::Aborted;
        result.error = QStringLiteral("aborted");
    } else if (done && code == CURLE_OK && result.httpStatus < 400) {
        result.outcome = FetchOutcome::Ok;
    } else if (errorStatus || result.httpStatus >= 400) {
        result.error = QStringLiteral("HTTP status %1").arg(result.httpStatus);
    } else if (tooLarge) {
        result.error = QStringLiteral("body too large");
    } else if (sinkRefused) {
        result.error = QStringLiteral("the body could not be stored");
    } else {
        result.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
    }
    return result;
}

CurlFetcher::CurlFetcher() : CurlFetcher(Options{}) {}

CurlFetcher::CurlFetcher(const Options& options) : mImpl(std::make_unique<Impl>(options)) {}

CurlFetcher::~CurlFetcher() = default;
CurlFetcher::CurlFetcher(CurlFetcher&& other) noexcept = default;
CurlFetcher& CurlFetcher::operator=(CurlFetcher&& other) noexcept = default;

void CurlFetcher::setFileAllowed(bool allowed) {
    if (!mImpl) return;
    mImpl->options.allowFile = allowed;
    mImpl->applyProtocols();
}

FetchResult CurlFetcher::fetch(const QString& url, const Sink& sink, const Progress& progress) {
    if (!mImpl || !mImpl->easy || !mImpl->multi) {
        FetchResult failed;
        failed.error = QStringLiteral("no transfer handle");
        return failed;
    }
    Impl& impl = *mImpl;
    const QByteArray wire = EncodeUrlForTransfer(url);
    curl_easy_setopt(impl.easy, CURLOPT_URL, wire.constData());  // libcurl keeps a copy
    impl.errorText[0] = '\0';
    impl.sink = &sink;
    impl.progress = &progress;
    impl.lastTurn = std::chrono::steady_clock::now();
    impl.received = 0;
    impl.tooLarge = impl.sinkRefused = impl.errorStatus = impl.aborted = false;
    FetchResult result = impl.run(progress);
    impl.sink = nullptr;
    impl.progress = nullptr;
    return result;
}
