// The size read from a picture's first bytes, which come from any web server: a size told is of
// at least one pixel each way, and what the first bytes told, more bytes never change, so the
// crawl may decide as soon as it is told.

#include "FuzzCheck.h"
#include "crawl/PictureSize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::size_t cut = data.ConsumeIntegralInRange<std::size_t>(0, size);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArrayView whole(rest.data(), qsizetype(rest.size()));
    PictureSize all;
    const SizeRead read = ReadPictureSize(whole, &all);
    if (read == SizeRead::Found) FUZZ_CHECK(all.width > 0 && all.height > 0);

    PictureSize first;
    const SizeRead early =
        ReadPictureSize(whole.first(std::min(whole.size(), qsizetype(cut))), &first);
    if (early != SizeRead::NeedMore) FUZZ_CHECK(read == early);
    if (early == SizeRead::Found)
        FUZZ_CHECK(first.width == all.width && first.height == all.height);
    return 0;
}
