// The pixel density a picture file says it has, read from its header: a PNG's pHYs chunk, a
// JPEG's JFIF or Exif resolution. The preview dialog draws a picture's pixels as screen pixels,
// so a scan of another density shows the form at another size.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavo::tool {

struct PictureDensity {
  double dpiX = 0;
  double dpiY = 0;
};

// From the first bytes of the file (a few kilobytes hold every header looked at); none when the
// picture does not say, or is neither PNG nor JPEG. Sizes inside the bytes are checked.
std::optional<PictureDensity> DensityOfPicture(std::string_view bytes);
std::optional<PictureDensity> DensityOfPictureFile(const std::string& path);

// The warning for a background picture whose density is not the screen's 96 dpi, or "" for one
// that is (or does not say).
std::string DensityWarning(const std::string& path);

}  // namespace tavo::tool
