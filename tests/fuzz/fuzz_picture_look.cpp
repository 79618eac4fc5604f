// A picture file of any bytes, read as the crawl and the contact sheet read it for its look: its
// format from its first bytes, then its pixels within the budget of the readers that work aside.
// A look told is of a picture with pixels; nothing crashes, runs away or decodes past the budget.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>

#include "FuzzCheck.h"
#include "look/PictureLook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // no extension: the bytes alone say what the file is, as for a stored picture misnamed
    static const QString path =
        QDir::temp().filePath(QStringLiteral("sr-fuzz-look-%1").arg(getpid()));
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char*>(bytes), qint64(size));
    file.close();
    const bool readable = LookReadable(path);
    const std::optional<PictureLook> look = LookOfPicture(path);
    FUZZ_CHECK(!look || readable);  // a look only of what a reader knows
    if (look) FUZZ_CHECK(look->pixels > 0);
    return 0;
}
