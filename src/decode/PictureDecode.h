#pragma once
// What look/ finds in this module by name once it has loaded it: the program's own picture
// formats (AVIF) given to Qt's readers, which look/ does once as it loads the module, and a
// picture's look worked out from its pixels (see look/PictureLook.h for each).

#include <QString>

#include "look/PictureLook.h"

extern "C" {
Q_DECL_EXPORT void SrUsePictureFormats();
Q_DECL_EXPORT bool SrDecodeReadable(const QString* path);
Q_DECL_EXPORT bool SrDecodeLook(const QString* path, PictureLook* look);
}
