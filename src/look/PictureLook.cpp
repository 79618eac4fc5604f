#include "look/PictureLook.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QByteArray>
#include <QtGlobal>
#include <bit>

namespace {

// The picture readers come with QtGui, libavif and some fifty libraries more: decode/ is loaded
// when a picture is first read, not with every program that crawls.
struct Decoder {
    void (*useFormats)() = nullptr;
    bool (*readable)(const QString*) = nullptr;
    bool (*look)(const QString*, PictureLook*) = nullptr;
};

// Where this build made it, else where it is installed beside the program.
void* OpenDecoder() {
    if (void* built = dlopen(SR_DECODE_BUILT, RTLD_NOW | RTLD_LOCAL)) return built;
    QByteArray program(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", program.data(), program.size() - 1);
    if (length <= 0) return nullptr;
    program.truncate(program.lastIndexOf('/', length - 1) + 1);
    return dlopen((program + SR_DECODE_INSTALLED).constData(), RTLD_NOW | RTLD_LOCAL);
}

const Decoder& LoadedDecoder() {
    static const Decoder decoder = [] {
        Decoder loaded;
        if (void* library = OpenDecoder()) {
            loaded.useFormats = reinterpret_cast<void (*)()>(dlsym(library, "SrUsePictureFormats"));
            loaded.readable =
                reinterpret_cast<bool (*)(const QString*)>(dlsym(library, "SrDecodeReadable"));
            loaded.look = reinterpret_cast<bool (*)(const QString*, PictureLook*)>(
                dlsym(library, "SrDecodeLook"));
        }
        // without it no picture has a look, so none is taken for another: all are kept
        if (!loaded.useFormats || !loaded.readable || !loaded.look) {
            qWarning("pictures cannot be read: %s", dlerror());
            return Decoder{};
        }
        loaded.useFormats();  // once, before any reader of the program reads a picture
        return loaded;
    }();
    return decoder;
}

}  // namespace

void UsePictureFormats() {
    LoadedDecoder();
}

bool LookReadable(const QString& path) {
    const Decoder& decoder = LoadedDecoder();
    return decoder.readable && decoder.readable(&path);
}

std::optional<PictureLook> LookOfPicture(const QString& path) {
    const Decoder& decoder = LoadedDecoder();
    PictureLook look;
    if (!decoder.look || !decoder.look(&path, &look)) return std::nullopt;
    return look;
}

int LookDistance(std::uint64_t a, std::uint64_t b) {
    return std::popcount(a ^ b);
}
