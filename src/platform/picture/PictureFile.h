// Loading a picture holder from a picture file, as the preview does for the form's background.
#pragma once

#include <cstdint>
#include <string>

#include "platform/picture/Picture.h"

namespace tavo {

// Files larger than this are refused rather than read into memory.
constexpr uint64_t kMaxPictureFileBytes = 512ull * 1024 * 1024;

// Loads the picture file named by `ansiPath` (ANSI text). The kind comes from the extension,
// compared without regard to case: bmp, ico, jpg, jpeg, png; a name without extension is
// recognised by its content. Throws tavo::Error for any other extension ("Unknown picture file
// extension (.ext)"), for EMF and WMF pictures, and for a file that cannot be read. A file whose
// content does not decode gives a picture without graphic.
Picture LoadPictureFile(const std::string& ansiPath);

}  // namespace tavo
