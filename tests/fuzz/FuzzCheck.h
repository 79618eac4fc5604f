#pragma once
// What the fuzz targets share: a check that stops the run with the input that broke it, and
// the ways the raw bytes are turned into text.

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef SR_FUZZ_CHECK_THROWS
// Built into the regression tests: a failed check becomes an exception the test reports.
#include <stdexcept>
#define SR_FUZZ_FAIL(text) throw std::runtime_error(text)
#else
#define SR_FUZZ_FAIL(text) std::abort()
#endif

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            SR_FUZZ_FAIL(#cond);                                                          \
        }                                                                                 \
    } while (0)

// Bytes as text: UTF-8 (what files and pages hold) or raw UTF-16, so that any code unit, lone
// surrogates included, can reach the code under test.
inline QString FuzzText(const std::string& bytes, bool utf16) {
    if (!utf16) return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString text(qsizetype(bytes.size() / 2), Qt::Uninitialized);
    std::memcpy(text.data(), bytes.data(), size_t(text.size()) * sizeof(QChar));
    return text;
}

inline QString ConsumeText(FuzzedDataProvider& data, std::size_t maxBytes) {
    const bool utf16 = data.ConsumeBool();
    return FuzzText(data.ConsumeRandomLengthString(maxBytes), utf16);
}

inline QString ConsumeRestText(FuzzedDataProvider& data) {
    const bool utf16 = data.ConsumeBool();
    return FuzzText(data.ConsumeRemainingBytesAsString(), utf16);
}
