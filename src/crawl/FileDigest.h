#pragma once
// The SHA-256 of a stored file, for the crawl's record and the known-picture rule.

#include <QByteArray>
#include <QString>
#include <cstddef>

struct evp_md_ctx_st;

// The raw 32-byte digest; empty when the file cannot be read.
QByteArray FileSha256(const QString& path);

// The same digest worked out from the bytes as they go by, so that a file just written need
// not be read back.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const char* data, std::size_t size);
    // The raw digest of everything given; empty when the library failed at any step.
    QByteArray digest();

private:
    evp_md_ctx_st* mContext;
    bool mFailed = false;
};
