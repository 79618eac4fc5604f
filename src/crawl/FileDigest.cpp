#include "crawl/FileDigest.h"

#include <openssl/evp.h>

#include <QFile>

// libcrypto rather than QCryptographicHash: with the processor's SHA instructions it is about
// ten times faster, and every stored file of a default crawl is hashed.
QByteArray FileSha256(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    Sha256 sha;
    QByteArray block(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(block.data(), block.size());
        if (n < 0) return {};
        if (n == 0) break;
        sha.update(block.constData(), size_t(n));
    }
    return sha.digest();
}

namespace {

// Looked up once: a lookup of the algorithm by its provider for every digest costs more than
// digesting a small picture.
const EVP_MD* Sha256Method() {
#if OPENSSL_VERSION_NUMBER >= 0x30000000L
    static const EVP_MD* const fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    if (fetched) return fetched;
#endif
    return EVP_sha256();
}

}  // namespace

Sha256::Sha256() : mContext(EVP_MD_CTX_new()) {
    mFailed = !mContext || EVP_DigestInit_ex(mContext, Sha256Method(), nullptr) != 1;
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(mContext);
}

void Sha256::update(const char* data, std::size_t size) {
    if (!mFailed) mFailed = EVP_DigestUpdate(mContext, data, size) != 1;
}

QByteArray Sha256::digest() {
    if (mFailed) return {};
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(mContext, reinterpret_cast<unsigned char*>(digest.data()), &length) != 1)
        return {};
    mFailed = true;  // finished: a second call has nothing to give
    digest.resize(length);
    return digest;
}
