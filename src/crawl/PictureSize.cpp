#include "crawl/PictureSize.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The bytes of head, read only where they are.
class Bytes {
public:
    explicit Bytes(QByteArrayView head) : mHead(head) {}
    qsizetype size() const { return mHead.size(); }
    bool has(qsizetype at, qsizetype count) const {
        return at >= 0 && count >= 0 && at <= size() && count <= size() - at;
    }
    std::uint32_t byte(qsizetype at) const { return static_cast<std::uint8_t>(mHead[at]); }
    std::uint32_t be16(qsizetype at) const { return byte(at) << 8 | byte(at + 1); }
    std::uint32_t le16(qsizetype at) const { return byte(at) | byte(at + 1) << 8; }
    std::uint32_t be32(qsizetype at) const { return be16(at) << 16 | be16(at + 2); }
    std::uint32_t le32(qsizetype at) const { return le16(at) | le16(at + 2) << 16; }
    std::uint32_t le24(qsizetype at) const { return le16(at) | byte(at + 2) << 16; }
    bool is(qsizetype at, const char* text) const {
        const auto n = static_cast<qsizetype>(std::strlen(text));
        return has(at, n) && std::memcmp(mHead.data() + at, text, static_cast<size_t>(n)) == 0;
    }

private:
    QByteArrayView mHead;
};

// A side of no pixels is a broken header: it tells nothing.
SizeRead Found(PictureSize* size, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) return SizeRead::Unknown;
    *size = {width, height};
    return SizeRead::Found;
}

// Whether the head is too short for what is looked for: more may tell, or nothing will.
SizeRead Short(const Bytes& b) {
    return b.size() < kMostHeaderBytes ? SizeRead::NeedMore : SizeRead::Unknown;
}

bool StartOfFrame(std::uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

SizeRead Jpeg(const Bytes& b, PictureSize* size) {
    qsizetype at = 2;
    for (;;) {
        const qsizetype segment = at;
        while (b.has(at, 1) && b.byte(at) == 0xFF) ++at;  // a marker, maybe after fill bytes
        if (!b.has(at, 1)) return Short(b);
        if (at == segment) return SizeRead::Unknown;
        const std::uint32_t marker = b.byte(at++);
        if ((marker >= 0xD0 && marker <= 0xD8) || marker == 0x01) continue;  // no length
        if (marker == 0xD9 || marker == 0xDA) return SizeRead::Unknown;      // no frame before
        if (!b.has(at, 2)) return Short(b);
        const std::uint32_t length = b.be16(at);
        if (length < 2) return SizeRead::Unknown;
        if (StartOfFrame(marker)) {
            if (!b.has(at, 7)) return Short(b);
            return Found(size, b.be16(at + 5), b.be16(at + 3));
        }
        at += length;
        if (at >= kMostHeaderBytes) return SizeRead::Unknown;
    }
}

SizeRead Png(const Bytes& b, PictureSize* size) {
    if (!b.has(0, 24)) return SizeRead::NeedMore;
    if (!b.is(12, "IHDR")) return SizeRead::Unknown;
    return Found(size, b.be32(16), b.be32(20));
}

SizeRead Gif(const Bytes& b, PictureSize* size) {
    if (!b.has(0, 10)) return SizeRead::NeedMore;
    return Found(size, b.le16(6), b.le16(8));
}

SizeRead Bmp(const Bytes& b, PictureSize* size) {
    if (!b.has(0, 26)) return SizeRead::NeedMore;
    if (b.le32(14) == 12) return Found(size, b.le16(18), b.le16(20));  // the OS/2 header
    const auto height = static_cast<std::int32_t>(b.le32(22));         // below 0: stored top down
    return Found(size, static_cast<std::int32_t>(b.le32(18)),
                 height < 0 ? -static_cast<std::int64_t>(height) : height);
}

SizeRead WebP(const Bytes& b, PictureSize* size) {
    if (!b.has(0, 30)) return SizeRead::NeedMore;
    if (b.is(12, "VP8 ")) {
        if (b.byte(23) != 0x9D || b.byte(24) != 0x01 || b.byte(25) != 0x2A)
            return SizeRead::Unknown;
        return Found(size, b.le16(26) & 0x3FFF, b.le16(28) & 0x3FFF);
    }
    if (b.is(12, "VP8L")) {
        if (b.byte(20) != 0x2F) return SizeRead::Unknown;
        const std::uint32_t bits = b.le32(21);
        return Found(size, (bits & 0x3FFF) + 1, (bits >> 14 & 0x3FFF) + 1);
    }
    if (b.is(12, "VP8X")) return Found(size, b.le24(24) + 1, b.le24(27) + 1);
    return SizeRead::Unknown;
}

// One box of an ISO media file: its type and where its contents begin and end.
struct Box {
    qsizetype body = 0;
    qsizetype end = 0;
    bool whole = false;  // all of it is in the head
};

// The box at at, within a parent ending at parentEnd; false when it is broken or its header is
// not all here (whole then tells which).
bool ReadBox(const Bytes& b, qsizetype at, qsizetype parentEnd, Box* box, bool* broken) {
    *broken = false;
    if (!b.has(at, 8)) return false;
    std::int64_t length = b.be32(at);
    qsizetype header = 8;
    if (length == 1) {  // a 64-bit length follows the type
        if (!b.has(at, 16)) return false;
        length = static_cast<std::int64_t>(std::uint64_t{b.be32(at + 8)} << 32 | b.be32(at + 12));
        header = 16;
    } else if (length == 0) {
        length = parentEnd - at;  // to the end of its parent
    }
    if (length < header || length > parentEnd - at) {
        *broken = true;
        return false;
    }
    box->body = at + header;
    box->end = at + static_cast<qsizetype>(length);
    box->whole = box->end <= b.size();
    return true;
}

// The largest ispe among the boxes from at to end, looked for down the path meta, iprp, ipco;
// depth is how far along it the boxes are.
SizeRead Properties(const Bytes& b, qsizetype at, qsizetype end, int depth, PictureSize* size) {
    static const char* const kPath[] = {"meta", "iprp", "ipco", "ispe"};
    bool found = false;
    while (at < end) {
        Box box;
        bool broken = false;
        if (!ReadBox(b, at, end, &box, &broken)) return broken ? SizeRead::Unknown : Short(b);
        if (depth == 0 && b.is(at + 4, "mdat")) break;  // the pixels come before the header
        if (b.is(at + 4, kPath[depth])) {
            if (!box.whole) return Short(b);
            if (depth == 3) {
                // its own 12 bytes, not the next box's: a short ispe reads alike however
                // much has arrived after it
                if (box.end - box.body < 12) return SizeRead::Unknown;
                const PictureSize one{b.be32(box.body + 4), b.be32(box.body + 8)};
                const auto pixels = [](const PictureSize& s) { return double(s.width) * s.height; };
                if (!found || pixels(one) > pixels(*size)) *size = one;
                found = true;
            } else {
                const qsizetype inside = box.body + (depth == 0 ? 4 : 0);  // meta: a full box
                return Properties(b, inside, box.end, depth + 1, size);
            }
        }
        at = box.end;
    }
    return found ? SizeRead::Found : SizeRead::Unknown;
}

SizeRead Avif(const Bytes& b, PictureSize* size) {
    Box ftyp;
    bool broken = false;
    if (!ReadBox(b, 0, kMostHeaderBytes, &ftyp, &broken))
        return broken ? SizeRead::Unknown : SizeRead::NeedMore;
    if (!ftyp.whole) return SizeRead::NeedMore;
    bool avif = false;  // the major brand, then the compatible ones after the minor version
    for (qsizetype at = ftyp.body; at + 4 <= ftyp.end; at += at == ftyp.body ? 8 : 4)
        avif = avif || b.is(at, "avif") || b.is(at, "avis");
    if (!avif) return SizeRead::Unknown;
    const SizeRead read =
        Properties(b, ftyp.end, std::numeric_limits<qsizetype>::max() / 2, 0, size);
    return read == SizeRead::Found ? Found(size, size->width, size->height) : read;
}

}  // namespace

SizeRead ReadPictureSize(QByteArrayView head, PictureSize* size) {
    const Bytes b(head);
    if (b.size() < 4) return SizeRead::NeedMore;
    if (b.byte(0) == 0xFF && b.byte(1) == 0xD8) return Jpeg(b, size);
    if (b.is(0, "\x89PNG")) return Png(b, size);
    if (b.is(0, "GIF8")) return Gif(b, size);
    if (b.is(0, "BM")) return Bmp(b, size);
    if (b.is(0, "RIFF"))
        return b.size() < 12     ? SizeRead::NeedMore
               : b.is(8, "WEBP") ? WebP(b, size)
                                 : SizeRead::Unknown;
    if (b.size() < 8) return SizeRead::NeedMore;
    if (b.is(4, "ftyp")) return Avif(b, size);
    return SizeRead::Unknown;
}
