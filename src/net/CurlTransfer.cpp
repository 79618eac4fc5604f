#include "net/CurlTransfer.h"

#include <mutex>

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

}  // namespace

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

    const Write* write = nullptr;
    const Turn* turn = nullptr;
    std::int64_t received = 0;
    bool tooLarge = false;
    bool writeRefused = false;
    bool errorStatus = false;
    bool stoppedByTurn = false;
    bool aborted = false;
};

CurlTransfer::State::State(const CurlFetcher::Options& opts) : rules(opts) {
    InitCurlOnce();
    easy = curl_easy_init();
    if (!easy) return;  // every transfer then fails
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, rules.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_AUTOREFERER, 1L);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR,
                     rules.allowFile ? "http,https,file" : "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, rules.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, rules.lowSpeedBytes);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, rules.lowSpeedSeconds);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(rules.maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl can decode
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &State::WriteBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    if (rules.noProxy) curl_easy_setopt(easy, CURLOPT_PROXY, "");
}

CurlTransfer::State::~State() {
    if (easy) curl_easy_cleanup(easy);
}

std::size_t CurlTransfer::State::WriteBody(char* data, std::size_t size, std::size_t count,
                                           void* user) {
    return static_cast<State*>(user)->take(data, size * count);
}

std::size_t CurlTransfer::State::take(char* data, std::size_t bytes) {
    // An error page is never stored: refuse its body before any of it is written.
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) {
        errorStatus = true;
        return 0;
    }
    if (bytes > static_cast<std::uint64_t>(rules.maxBodyBytes - received)) {
        tooLarge = true;
        return 0;
    }
    try {  // nothing may unwind through libcurl
        // Data that keeps coming (a compressed body inflating by the gigabyte) would otherwise
        // keep libcurl busy in one stretch, with the window frozen all along.
        if (turn && *turn && !(*turn)()) {
            stoppedByTurn = true;
            return 0;
        }
        received += static_cast<std::int64_t>(bytes);
        if (!write || !*write || !(*write)(data, bytes)) {
            writeRefused = true;
            return 0;
        }
    } catch (...) {
        writeRefused = true;
        return 0;
    }
    return bytes;
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

void CurlTransfer::prepare(const QString& url, const Write* write, const Turn* turn) {
    State& s = *mState;
    s.wireUrl = EncodeUrlForTransfer(url);
    curl_easy_setopt(s.easy, CURLOPT_URL, s.wireUrl.constData());
    s.errorText[0] = '\0';
    s.write = write;
    s.turn = turn;
    s.received = 0;
    s.tooLarge = s.writeRefused = s.errorStatus = s.stoppedByTurn = s.aborted = false;
}

void CurlTransfer::markAborted() {
    mState->aborted = true;
}

bool CurlTransfer::stoppedByTurn() const {
    return mState->stoppedByTurn;
}

bool CurlTransfer::writeRefused() const {
    return mState->writeRefused;
}

std::int64_t CurlTransfer::announcedSize() const {
    curl_off_t length = -1;
    if (!valid() || curl_easy_getinfo(mState->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length))
        return -1;
    return static_cast<std::int64_t>(length);
}

FetchResult CurlTransfer::result(bool done, CURLcode code) const {
    const State& s = *mState;
    FetchResult result;
    curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    const char* contentType = nullptr;  // the answer's own: what a URL without extension is
    if (curl_easy_getinfo(s.easy, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        result.contentType = QString::fromLatin1(contentType);
    if (s.aborted || s.stoppedByTurn) {
        result.outcome = FetchOutcome::Aborted;
        result.error = QStringLiteral("aborted");
    } else if (done && code == CURLE_OK && result.httpStatus < 400) {
        result.outcome = FetchOutcome::Ok;
        result.cause = FetchCause::None;
    } else if (s.errorStatus || result.httpStatus >= 400) {
        result.error = QStringLiteral("HTTP status %1").arg(result.httpStatus);
    } else if (s.tooLarge) {
        result.error = QStringLiteral("body too large");
    } else if (s.writeRefused) {
        result.error = QStringLiteral("the body could not be stored");
    } else {
        result.error = QString::fromUtf8(s.errorText[0] ? s.errorText : curl_easy_strerror(code));
    }
    if (result.outcome == FetchOutcome::Failed)
        result.cause = s.errorStatus ? CauseOf(CURLE_HTTP_RETURNED_ERROR, result.httpStatus)
                                     : CauseOf(code, result.httpStatus);
    return result;
}
