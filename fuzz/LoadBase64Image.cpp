// Inline pictures of the documents: the first byte chooses how the rest reaches LoadBase64Image.
// Bit 0 clear: the rest Base64-encoded (a PNG, JPEG or bitmap file then starts with the "iV",
// "/9" or "Qk" that names its kind); bit 1 wraps the Base64 lines. Bit 0 set: the rest as the
// text itself, any bytes at all.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "printing/unitFormUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::span<const uint8_t> payload(data + 1, size - 1);
  const std::string text =
      (mode & 1) ? std::string(reinterpret_cast<const char*>(payload.data()), payload.size())
                 : tavo::fuzz::Base64Encode(payload, (mode & 2) != 0);

  tavo::Picture picture;
  tavo::LoadBase64Image(text, picture);
  tavo::fuzz::CheckPicture(picture);

  // A picture that held something before keeps a consistent graphic whatever the text.
  tavo::LoadBase64Image(text, picture);
  tavo::fuzz::CheckPicture(picture);
  return 0;
}
