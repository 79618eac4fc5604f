#include "HostileServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;
constexpr int kPollMs = 50;

std::string StatusLine(int status) {
    const char* reason = status == 200   ? "OK"
                         : status == 302 ? "Found"
                         : status == 404 ? "Not Found"
                                         : "Status";
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
}

std::string Head(int status, const std::string& fields) {
    return StatusLine(status) + fields + "\r\n";
}

std::string LengthField(std::int64_t length) {
    return "Content-Length: " + std::to_string(length) + "\r\n";
}

// The request target of the first request in head ("GET /a HTTP/1.1" gives "/a").
std::string TargetOf(const std::string& head) {
    const auto first = head.find(' ');
    if (first == std::string::npos) return {};
    const auto second = head.find(' ', first + 1);
    if (second == std::string::npos) return {};
    return head.substr(first + 1, second - first - 1);
}

void PutLittleEndian32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out += char((value >> (8 * i)) & 0xFF);
}

}  // namespace

HostileAnswer HostileAnswer::PageOf(std::string body, std::string contentType) {
    HostileAnswer a;
    a.body = std::move(body);
    a.contentType = std::move(contentType);
    return a;
}

HostileAnswer HostileAnswer::RedirectTo(std::string location) {
    HostileAnswer a;
    a.kind = Redirect;
    a.status = 302;
    a.location = std::move(location);
    return a;
}

HostileAnswer HostileAnswer::ResetAfter(std::string sent, std::int64_t declared) {
    HostileAnswer a;
    a.kind = ResetMidBody;
    a.body = std::move(sent);
    a.declaredLength = declared;
    return a;
}

HostileAnswer HostileAnswer::Stall(std::int64_t declared) {
    HostileAnswer a;
    a.kind = StallAfterHeaders;
    a.declaredLength = declared;
    return a;
}

HostileAnswer HostileAnswer::TrickleOf(std::string body, int intervalMs) {
    HostileAnswer a;
    a.kind = Trickle;
    a.body = std::move(body);
    a.intervalMs = intervalMs;
    return a;
}

HostileAnswer HostileAnswer::EndlessBody(bool chunked) {
    HostileAnswer a;
    a.kind = Endless;
    a.chunked = chunked;
    return a;
}

HostileAnswer HostileAnswer::Bomb(std::int64_t inflatedBytes) {
    HostileAnswer a;
    a.kind = GzipBomb;
    a.bombBytes = inflatedBytes;
    a.contentType = "image/png";
    a.body = GzipBytes(GzipOfZeros(inflatedBytes));
    return a;
}

HostileAnswer HostileAnswer::HeadersOf(std::int64_t bytes, int lineBytes, std::string body) {
    HostileAnswer a;
    a.kind = HugeHeaders;
    a.headerBytes = bytes;
    a.lineBytes = lineBytes;
    a.body = std::move(body);
    return a;
}

HostileAnswer HostileAnswer::LengthMismatch(std::string body, std::int64_t declared) {
    HostileAnswer a;
    a.kind = WrongLength;
    a.body = std::move(body);
    a.declaredLength = declared;
    return a;
}

std::string GzipOfZeros(std::int64_t bytes) {
    return GzipOfRepeats(std::string(1 << 20, '\0'), bytes >> 20);
}

std::string GzipOfRepeats(const std::string& piece, std::int64_t times) {
    const std::size_t size = piece.size();
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string block(deflateBound(&z, uLong(size)) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = uInt(size);
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = uInt(block.size());
    deflate(&z, Z_FULL_FLUSH);  // byte-aligned, no reference to what came before
    block.resize(block.size() - z.avail_out);
    deflateEnd(&z);

    const uLong blockCrc = crc32(0L, reinterpret_cast<const Bytef*>(piece.data()), uInt(size));
    uLong crc = crc32(0L, Z_NULL, 0);
    std::string member("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10);
    member.reserve(member.size() + std::size_t(times) * block.size() + 10);
    for (std::int64_t i = 0; i < times; ++i) {
        member += block;
        crc = crc32_combine(crc, blockCrc, z_off_t(size));
    }
    member += std::string("\x03\x00", 2);  // an empty final block
    PutLittleEndian32(member, std::uint32_t(crc));
    PutLittleEndian32(member, std::uint32_t(std::uint64_t(times) * size));
    return member;
}

std::string GzipBytes(const std::string& bytes) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, MAX_WBITS + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, uLong(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

HostileServer::HostileServer() {
    mListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (mListen < 0) throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(mListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(mListen, 64) != 0 ||
        ::getsockname(mListen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(mListen);
        throw std::runtime_error("no loopback port");
    }
    mPort = ntohs(address.sin_port);
    mAcceptThread = std::thread([this] { acceptLoop(); });
}

HostileServer::~HostileServer() {
    {
        std::lock_guard lock(mMutex);
        mStopping = true;
        for (const int fd : mOpen) ::shutdown(fd, SHUT_RDWR);
    }
    mWake.notify_all();
    mAcceptThread.join();
    for (auto& worker : mWorkers) worker.join();
    ::close(mListen);
}

std::string HostileServer::base() const {
    return "http://127.0.0.1:" + std::to_string(mPort);
}

QString HostileServer::url(const std::string& path) const {
    return QString::fromStdString(base() + path);
}

void HostileServer::on(const std::string& target, HostileAnswer answer) {
    std::lock_guard lock(mMutex);
    mAnswers[target] = std::move(answer);
}

std::vector<HostileRequest> HostileServer::requests() const {
    std::lock_guard lock(mMutex);
    return mRequests;
}

std::vector<std::string> HostileServer::targets() const {
    std::vector<std::string> all;
    for (const auto& r : requests()) all.push_back(r.target);
    return all;
}

int HostileServer::count(const std::string& target) const {
    int n = 0;
    for (const auto& r : requests()) n += r.target == target ? 1 : 0;
    return n;
}

bool HostileServer::busy(const std::string& target) const {
    for (const auto& r : requests())
        if (r.target == target && !r.finished) return true;
    return false;
}

std::int64_t HostileServer::sent(const std::string& target) const {
    std::int64_t bytes = -1;
    for (const auto& r : requests())
        if (r.target == target) bytes = r.bytesSent;
    return bytes;
}

void HostileServer::acceptLoop() {
    while (!mStopping) {
        pollfd p{mListen, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0) continue;
        const int fd = ::accept4(mListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mMutex);
        if (mStopping) {
            ::close(fd);
            break;
        }
        mOpen.push_back(fd);
        mWorkers.emplace_back([this, fd] { serve(fd); });
    }
}

// Reads up to the end of the next request head; false when the client went away first.
static bool ReadRequestHead(int fd, std::string& pending, std::string& head) {
    char buffer[4096];
    std::size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (pending.size() > kMaxRequestHead) return false;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        pending.append(buffer, std::size_t(got));
    }
    head = pending.substr(0, end);
    pending.erase(0, end + 4);
    return true;
}

// Answers the requests of one connection, one after the other, until an answer ends it.
void HostileServer::serve(int fd) {
    std::string pending, head;
    while (ReadRequestHead(fd, pending, head)) {
        HostileAnswer how = HostileAnswer::PageOf("not here");
        how.status = 404;
        std::size_t request;
        {
            std::lock_guard lock(mMutex);
            const std::string target = TargetOf(head);
            if (auto found = mAnswers.find(target); found != mAnswers.end()) how = found->second;
            request = mRequests.size();
            mRequests.push_back({target, 0, false});
        }
        const bool keepAlive = answer(fd, request, how);
        finish(request);
        if (!keepAlive) break;
    }
    std::lock_guard lock(mMutex);
    std::erase(mOpen, fd);
    ::close(fd);
}

void HostileServer::finish(std::size_t request) {
    std::lock_guard lock(mMutex);
    mRequests[request].finished = true;
}

bool HostileServer::pause(int ms) {
    std::unique_lock lock(mMutex);
    return !mWake.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return mStopping.load(); });
}

bool HostileServer::sendAll(int fd, std::size_t request, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::send(fd, data, size, MSG_NOSIGNAL);
        if (put <= 0) return false;
        data += put;
        size -= std::size_t(put);
        std::lock_guard lock(mMutex);
        mRequests[request].bytesSent += put;
    }
    return true;
}

// Sends the answer; true when the connection may carry the next request.
bool HostileServer::answer(int fd, std::size_t request, const HostileAnswer& how) {
    const std::string type = "Content-Type: " + how.contentType + "\r\n";
    switch (how.kind) {
        case HostileAnswer::Page:
            return sendAll(fd, request,
                           Head(how.status, type + LengthField(how.body.size())) + how.body);
        case HostileAnswer::Redirect:
            return sendAll(fd, request,
                           Head(how.status, "Location: " + how.location + "\r\n" + LengthField(0)));
        case HostileAnswer::ResetMidBody: {
            if (!sendAll(fd, request, Head(200, type + LengthField(how.declaredLength)) + how.body))
                return false;
            pause(100);  // let the client take in what came, then pull the plug
            const linger abort{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return false;
        }
        case HostileAnswer::StallAfterHeaders: {
            if (!sendAll(fd, request, Head(200, type + LengthField(how.declaredLength))))
                return false;
            char scratch[256];
            while (!mStopping) {  // silent until the client gives up or the server stops
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, kPollMs) > 0 && ::recv(fd, scratch, sizeof scratch, 0) <= 0)
                    break;
            }
            return false;
        }
        case HostileAnswer::Trickle:
            return trickle(fd, request, how);
        case HostileAnswer::Endless:
            return endless(fd, request, how);
        case HostileAnswer::GzipBomb:
            return sendAll(fd, request,
                           Head(200, type + "Content-Encoding: gzip, gzip\r\n" +
                                         LengthField(how.body.size())) +
                               how.body);
        case HostileAnswer::HugeHeaders:
            return hugeHeaders(fd, request, how);
        case HostileAnswer::WrongLength:
            if (!sendAll(fd, request, Head(200, type + LengthField(how.declaredLength)) + how.body))
                return false;
            // A short body can only end by closing; a long one leaves its excess in the
            // connection for whoever reads next.
            return std::int64_t(how.body.size()) > how.declaredLength;
    }
    return false;
}

bool HostileServer::trickle(int fd, std::size_t request, const HostileAnswer& how) {
    if (!sendAll(
            fd, request,
            Head(200, "Content-Type: " + how.contentType + "\r\n" + LengthField(how.body.size()))))
        return false;
    for (const char byte : how.body) {
        if (!pause(how.intervalMs) || !sendAll(fd, request, &byte, 1)) return false;
    }
    return true;
}

bool HostileServer::endless(int fd, std::size_t request, const HostileAnswer& how) {
    const std::string framing = how.chunked ? "Transfer-Encoding: chunked\r\n" : "";
    if (!sendAll(fd, request,
                 Head(200, "Content-Type: " + how.contentType + "\r\n" + framing +
                               "Connection: close\r\n")))
        return false;
    std::string piece(64 * 1024, '\0');
    for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = char('A' + i % 26);
    if (how.chunked) piece = "10000\r\n" + piece + "\r\n";
    while (!mStopping && sendAll(fd, request, piece)) {
    }
    return false;
}

// Header lines of lineBytes each until headerBytes went out, sent in pieces as they are made,
// so that the server's own memory stays small however long a line is.
bool HostileServer::hugeHeaders(int fd, std::size_t request, const HostileAnswer& how) {
    if (!sendAll(fd, request, StatusLine(200))) return false;
    const std::string piece(64 * 1024, 'h');
    const std::int64_t lineBytes = std::max(how.lineBytes, 1);
    for (std::int64_t sent = 0, n = 0; sent < how.headerBytes; ++n) {
        const std::string name = "X-Filler-" + std::to_string(n) + ": ";
        if (!sendAll(fd, request, name)) return false;
        for (std::int64_t left = lineBytes; left > 0;) {
            const std::size_t size = std::size_t(std::min<std::int64_t>(left, piece.size()));
            if (!sendAll(fd, request, piece.data(), size)) return false;
            left -= std::int64_t(size);
        }
        if (!sendAll(fd, request, "\r\n")) return false;
        sent += std::int64_t(name.size()) + lineBytes + 2;
    }
    return sendAll(fd, request,
                   "Content-Type: " + how.contentType + "\r\n" + LengthField(how.body.size()) +
                       "\r\n" + how.body);
}
