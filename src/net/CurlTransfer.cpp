#include "net/CurlTransfer.h"

#include <cerrno>
#include <mutex>

#include "net/SharedRate.h"

namespace {

constexpr char kUserAgent[] = "SiteRambler/1.0";

// The one place where libcurl's results become causes a user can act on.
FetchCause CauseOf(CURLcode code, long httpStatus) {
    if (httpStatus >= 400)
        return httpStatus == 404 || httpStatus == 410 ? FetchCause::NotFound
                                                      : FetchCause::ServerError;
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return FetchCause::NoHost;
        case CURLE_COULDNT_CONNECT:
            return FetchCause::Refused;
        case CURLE_OPERATION_TIMEDOUT:
            return FetchCause::TimedOut;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
            return FetchCause::Certificate;
        case CURLE_FILE_COULDNT_READ_FILE:
            return FetchCause::NotFound;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return FetchCause::BadUrl;
        default:
            return FetchCause::Other;
    }
}

// Failures that may pass by themselves: the same request may fare better a moment later.
bool Passing(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return true;
        default:
            return false;
    }
}

bool Success(long status) {
    return status == 0 || (status >= 200 && status < 300);  // 0: no HTTP (file:)
}

bool IsRedirect(long status) {
    return status >= 300 && status < 400;
}

// The protocols, in the text form or, for a libcurl that predates it, as bits; false when the
// handle could not be held to them.
bool LimitProtocols(CURL* easy, const FileUrlPolicy& files) {
    const bool allowFile = files.allowsFiles();  // a redirect never leads to file:
    const char* text = allowFile ? "http,https,file" : "http,https";
    if (curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, text) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK)
        return true;
#if CURL_AT_LEAST_VERSION(7, 85, 0)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    const long web = CURLPROTO_HTTP | CURLPROTO_HTTPS;
    const bool set = curl_easy_setopt(easy, CURLOPT_PROTOCOLS,
                                      allowFile ? web | CURLPROTO_FILE : web) == CURLE_OK &&
                     curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS, web) == CURLE_OK;
#if CURL_AT_LEAST_VERSION(7, 85, 0)
#pragma GCC diagnostic pop
#endif
    return set;
}

// The local path libcurl would open for a file: URL on the wire; empty for any other URL.
QByteArray LocalPathOf(const QByteArray& wireUrl) {
    if (qstrnicmp(wireUrl.constData(), "file:", 5) != 0) return {};
    CURLU* parsed = curl_url();
    char* path = nullptr;
    QByteArray local;
    if (parsed && curl_url_set(parsed, CURLUPART_URL, wireUrl.constData(), 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_PATH, &path, CURLU_URLDECODE) == CURLUE_OK)
        local = path;
    curl_free(path);
    curl_url_cleanup(parsed);
    return local;
}

}  // namespace

// libcurl opens a local file blocking: a FIFO would hold the transfer thread, and with it every
// stop, until someone writes to it.
std::optional<FetchResult> RefuseLocalFile(const QString& url) {
    const QByteArray path = LocalPathOf(EncodeUrlForTransfer(url));
    const QString why = path.isEmpty() ? QString() : FileUrlPolicy::Refusal(path);
    if (why.isEmpty()) return std::nullopt;
    FetchResult refused;
    refused.cause = FetchCause::NotFound;  // no such local file: only regular files are read
    refused.error = why;
    return refused;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlTransfer::State {
    explicit State(const CurlFetcher::Options& rules);
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    static std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t take(char* data, std::size_t bytes);

    CurlFetcher::Options rules;
    CURL* easy = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};
    QByteArray wireUrl;

    const Transfers::Write* write = nullptr;
    const std::atomic<bool>* stop = nullptr;
    SharedRate* rate = nullptr;
    bool rateHeld = false;  // paused until the rate allows the next piece
    std::int64_t maxBytes = 0;
    std::int64_t received = 0;
    int writeError = 0;
    bool tooLarge = false;
    bool errorStatus = false;
    bool needsRoom = false;
};

CurlTransfer::State::State(const CurlFetcher::Options& opts) : rules(opts) {
    InitCurlOnce();
    easy = curl_easy_init();
    if (!easy) return;  // every transfer then fails
    if (!LimitProtocols(easy, rules.files)) {
        curl_easy_cleanup(easy);  // fails closed: no other protocol is ever fetched
        easy = nullptr;
        return;
    }
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, rules.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, rules.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_AUTOREFERER, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, rules.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, rules.lowSpeedBytes);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, rules.lowSpeedSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, rules.totalTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(rules.maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl can decode
    curl_easy_setopt(easy, CURLOPT_USERAGENT,
                     rules.userAgent.isEmpty() ? kUserAgent : rules.userAgent.constData());
    // Read at the first transfer of the handle; never written, as no cookie jar is named.
    if (!rules.cookieFile.isEmpty())
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, rules.cookieFile.constData());
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &State::WriteBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    if (!rules.proxy.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_PROXY, rules.proxy.constData());
        curl_easy_setopt(easy, CURLOPT_NOPROXY, "");  // named, so every request goes through it
    } else if (rules.noProxy) {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    }
    if (!rules.caFile.isEmpty()) curl_easy_setopt(easy, CURLOPT_CAINFO, rules.caFile.constData());
}

CurlTransfer::State::~State() {
    if (easy) curl_easy_cleanup(easy);
}

std::size_t CurlTransfer::State::WriteBody(char* data, std::size_t size, std::size_t count,
                                           void* user) {
    return static_cast<State*>(user)->take(data, size * count);
}

std::size_t CurlTransfer::State::take(char* data, std::size_t bytes) {
    // Only a success is stored: the body of an error or of a redirect that leads nowhere is
    // refused before any of it is written.
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (!Success(status)) {
        if (IsRedirect(status) && !rules.followRedirects) return bytes;  // its target is told
        errorStatus = true;
        return 0;
    }
    if (stop && stop->load(std::memory_order_relaxed)) return 0;
    if (rate && !rate->allows(SharedRate::Clock::now())) {
        rateHeld = true;  // the same bytes come again once the rate allows
        return CURL_WRITEFUNC_PAUSE;
    }
    std::size_t taken = bytes;
    if (bytes > static_cast<std::uint64_t>(maxBytes - received)) {
        tooLarge = true;  // what fits is written: a robots.txt is read that far
        taken = static_cast<std::size_t>(maxBytes - received);
    }
    int error = 0;
    try {  // nothing may unwind through libcurl
        error = taken == 0 ? 0 : write && *write ? (*write)(data, taken) : EIO;
    } catch (...) {
        error = EIO;
    }
    if (error == ENOSPC || error == EDQUOT || error == EAGAIN) {
        needsRoom = true;  // the same bytes come again on resume
        writeError = error;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (error) {
        writeError = error;
        return 0;
    }
    writeError = 0;
    received += static_cast<std::int64_t>(taken);
    if (rate) rate->spend(taken);
    return tooLarge ? 0 : bytes;
}

CurlTransfer::CurlTransfer(const CurlFetcher::Options& rules)
    : mState(std::make_unique<State>(rules)) {}
CurlTransfer::~CurlTransfer() = default;
CurlTransfer::CurlTransfer(CurlTransfer&& other) noexcept = default;
CurlTransfer& CurlTransfer::operator=(CurlTransfer&& other) noexcept = default;

bool CurlTransfer::valid() const {
    return mState && mState->easy;
}

CURL* CurlTransfer::easy() const {
    return mState ? mState->easy : nullptr;
}

void CurlTransfer::prepare(const QString& url, std::int64_t maxBytes, const Transfers::Write* write,
                           const std::atomic<bool>* stop, SharedRate* rate, bool fresh) {
    State& s = *mState;
    s.wireUrl = EncodeUrlForTransfer(url);
    curl_easy_setopt(s.easy, CURLOPT_URL, s.wireUrl.constData());
    curl_easy_setopt(s.easy, CURLOPT_FRESH_CONNECT, fresh ? 1L : 0L);
    s.errorText[0] = '\0';
    s.write = write;
    s.stop = stop;
    s.rate = rate;
    s.rateHeld = false;
    s.maxBytes = std::min(maxBytes, s.rules.maxBodyBytes);
    s.received = 0;
    s.writeError = 0;
    s.tooLarge = s.errorStatus = s.needsRoom = false;
}

bool CurlTransfer::resumeRate() {
    State& s = *mState;
    if (!s.rateHeld || s.needsRoom) return true;  // room is made elsewhere
    if (!s.rate->allows(SharedRate::Clock::now())) return false;
    s.rateHeld = false;
    curl_easy_pause(s.easy, CURLPAUSE_CONT);  // may hand the piece over, and be held again
    return !s.rateHeld;
}

bool CurlTransfer::needsRoom() const {
    return mState->needsRoom;
}

void CurlTransfer::resume() {
    mState->needsRoom = false;
    curl_easy_pause(mState->easy, CURLPAUSE_CONT);
}

FetchResult CurlTransfer::result(bool done, CURLcode code) const {
    const State& s = *mState;
    FetchResult result;
    curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    const char* contentType = nullptr;  // the answer's own: what a URL without extension is
    if (curl_easy_getinfo(s.easy, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        result.contentType = QString::fromLatin1(contentType);
    long redirects = 0;
    const char* url = nullptr;
    if (curl_easy_getinfo(s.easy, CURLINFO_REDIRECT_COUNT, &redirects) == CURLE_OK &&
        redirects > 0 && curl_easy_getinfo(s.easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
        result.url = QString::fromUtf8(url);
    if (!s.rules.followRedirects && IsRedirect(result.httpStatus) &&
        curl_easy_getinfo(s.easy, CURLINFO_REDIRECT_URL, &url) == CURLE_OK && url)
        result.redirect = QString::fromUtf8(url);
    if (!done) {
        result.outcome = FetchOutcome::Aborted;
        result.error = QStringLiteral("aborted");
        result.storageError = s.needsRoom ? s.writeError : 0;
    } else if (code == CURLE_OK && Success(result.httpStatus)) {
        result.outcome = FetchOutcome::Ok;
        result.cause = FetchCause::None;
    } else if (s.errorStatus || !Success(result.httpStatus)) {
        result.error = QStringLiteral("HTTP status %1").arg(result.httpStatus);
    } else if (s.tooLarge) {
        result.error = QStringLiteral("body too large");
    } else if (s.writeError) {
        result.error = QStringLiteral("the body could not be stored");
        result.storageError = s.writeError;
    } else {
        result.error = QString::fromUtf8(s.errorText[0] ? s.errorText : curl_easy_strerror(code));
    }
    if (result.outcome == FetchOutcome::Failed)
        result.cause = s.errorStatus ? CauseOf(CURLE_HTTP_RETURNED_ERROR, result.httpStatus)
                                     : CauseOf(code, result.httpStatus);
    return result;
}

bool CurlTransfer::startOver() {
    State& s = *mState;
    if (s.received == 0) return true;
    int error = EIO;
    try {  // nothing may unwind through the transfer thread
        if (s.write && *s.write) error = (*s.write)(nullptr, 0);
    } catch (...) {
    }
    if (error == 0) s.received = 0;
    return error == 0;
}

CurlTransfer::Retry CurlTransfer::retry(CURLcode code) const {
    const State& s = *mState;
    Retry retry;
    if (s.writeError || s.tooLarge || s.needsRoom) return retry;  // this machine's, not the net's
    curl_off_t spentUs = 0;  // a try again would only take as long
    if (code == CURLE_OPERATION_TIMEDOUT &&
        curl_easy_getinfo(s.easy, CURLINFO_TOTAL_TIME_T, &spentUs) == CURLE_OK &&
        spentUs >= curl_off_t{s.rules.totalTimeoutMs} * 1000)
        return retry;
    long status = 0;
    curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) {
        retry.may = status == 408 || status == 429 || status >= 500;
        retry.spare = status == 429 || status == 503;
        curl_off_t after = 0;  // libcurl turns a date into seconds from now
        if (curl_easy_getinfo(s.easy, CURLINFO_RETRY_AFTER, &after) == CURLE_OK && after > 0)
            retry.afterS = after;
        return retry;
    }
    retry.may = Passing(code);
    return retry;
}

bool CurlTransfer::brokeBeforeAnswer(CURLcode code) const {
    const State& s = *mState;
    if (s.received > 0 || s.writeError || s.tooLarge || s.needsRoom || s.errorStatus) return false;
    long status = 0;
    curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &status);
    if (status != 0) return false;  // the answer began: only Retries may send it again
    switch (code) {
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_PARTIAL_FILE:  // an HTTP/2 stream cut with its connection, before its headers
            return true;
        case CURLE_SEND_ERROR:  // the connection reset under the request: a multiplexed one
        case CURLE_RECV_ERROR:  // fails every stream on it, the one that opened it too
        case CURLE_GOT_NOTHING:
            return true;
        default:
            return false;
    }
}

long CurlTransfer::httpVersion() const {
    long version = 0;
    curl_easy_getinfo(mState->easy, CURLINFO_HTTP_VERSION, &version);
    return version;
}

bool CurlTransfer::oneAtATime() const {
    const long version = httpVersion();
    return version == CURL_HTTP_VERSION_1_0 || version == CURL_HTTP_VERSION_1_1;
}

bool CurlTransfer::multiplexed() const {
    const long version = httpVersion();
    return version == CURL_HTTP_VERSION_2_0 || version == CURL_HTTP_VERSION_3;
}
