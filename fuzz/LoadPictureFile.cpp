// Picture files as the preview loads the form's background: the first byte chooses the file
// name's extension (or none, when the content tells the kind), the rest is the file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "FuzzSupport.h"
#include "platform/core/Error.h"
#include "platform/picture/PictureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static constexpr std::array<const char*, 8> kNames = {
      "picture.bmp", "picture.ico", "picture.jpg", "picture.jpeg",
      "picture.png", "PICTURE.PNG", "picture",     "picture.gif"};
  const std::string path = tavo::fuzz::ScratchFolder::Get().Write(
      kNames[data[0] % kNames.size()], std::span<const uint8_t>(data + 1, size - 1));
  try {
    tavo::fuzz::CheckPicture(tavo::LoadPictureFile(path));
  } catch (const tavo::Error&) {
    // An extension we do not show: the documented failure.
  }
  return 0;
}
