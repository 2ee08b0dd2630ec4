#include "PictureDensity.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "Translation.h"

namespace tavo::tool {
namespace {

constexpr double kScreenDpi = 96;
constexpr size_t kHeaderBytes = 256 * 1024;

uint32_t BigEndian(std::string_view bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

std::optional<PictureDensity> PngDensity(std::string_view png) {
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t length = BigEndian(png, at, 4);
    const std::string_view type = png.substr(at + 4, 4);
    if (type == "IDAT" || type == "IEND") break;
    if (type == "pHYs" && length == 9 && at + 17 <= png.size()) {
      // Unit 1 is the metre; unit 0 gives only the pixels' aspect.
      if (static_cast<uint8_t>(png[at + 16]) != 1) return std::nullopt;
      return PictureDensity{BigEndian(png, at + 8, 4) * 0.0254,
                            BigEndian(png, at + 12, 4) * 0.0254};
    }
    if (length > png.size()) break;
    at += 12 + size_t{length};
  }
  return std::nullopt;
}

// The XResolution, YResolution and ResolutionUnit of an Exif block's first IFD.
std::optional<PictureDensity> ExifDensity(std::string_view tiff) {
  if (tiff.size() < 8) return std::nullopt;
  const bool little = tiff.substr(0, 2) == "II";
  if (!little && tiff.substr(0, 2) != "MM") return std::nullopt;
  const auto number = [&](size_t at, int count) -> std::optional<uint32_t> {
    if (at + count > tiff.size()) return std::nullopt;
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      const uint32_t byte = static_cast<uint8_t>(tiff[at + (little ? count - 1 - i : i)]);
      value = value << 8 | byte;
    }
    return value;
  };
  const auto ifd = number(4, 4);
  if (!ifd) return std::nullopt;
  const auto entries = number(*ifd, 2);
  if (!entries) return std::nullopt;
  double x = 0, y = 0;
  uint32_t unit = 2;  // inches unless said otherwise
  for (uint32_t i = 0; i < *entries && i < 512; ++i) {
    const size_t entry = *ifd + 2 + size_t{i} * 12;
    const auto tag = number(entry, 2);
    const auto value = number(entry + 8, 4);
    if (!tag || !value) break;
    if (*tag == 0x0128) unit = *number(entry + 8, 2);
    if (*tag != 0x011A && *tag != 0x011B) continue;
    const auto numerator = number(*value, 4);
    const auto denominator = number(size_t{*value} + 4, 4);
    if (!numerator || !denominator || *denominator == 0) continue;
    (*tag == 0x011A ? x : y) = double(*numerator) / *denominator;
  }
  if (x <= 0 || y <= 0 || (unit != 2 && unit != 3)) return std::nullopt;
  const double perInch = unit == 3 ? 2.54 : 1;
  return PictureDensity{x * perInch, y * perInch};
}

std::optional<PictureDensity> JpegDensity(std::string_view jpeg) {
  std::optional<PictureDensity> exif;
  for (size_t at = 2; at + 4 <= jpeg.size();) {
    if (static_cast<uint8_t>(jpeg[at]) != 0xFF) break;
    const uint8_t marker = static_cast<uint8_t>(jpeg[at + 1]);
    if (marker == 0xDA || marker == 0xD9) break;  // the image data: no header follows
    const size_t length = BigEndian(jpeg, at + 2, 2);
    if (length < 2 || at + 2 + length > jpeg.size()) break;
    const std::string_view segment = jpeg.substr(at + 4, length - 2);
    if (marker == 0xE0 && segment.size() >= 12 &&
        segment.substr(0, 5) == std::string_view("JFIF\0", 5)) {
      const uint8_t units = static_cast<uint8_t>(segment[7]);
      const double x = BigEndian(segment, 8, 2), y = BigEndian(segment, 10, 2);
      if ((units == 1 || units == 2) && x > 0 && y > 0) {
        const double perInch = units == 2 ? 2.54 : 1;
        return PictureDensity{x * perInch, y * perInch};
      }
    }
    if (marker == 0xE1 && !exif && segment.substr(0, 6) == std::string_view("Exif\0\0", 6))
      exif = ExifDensity(segment.substr(6));
    at += 2 + length;
  }
  return exif;
}

std::string Number(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::optional<PictureDensity> DensityOfPicture(std::string_view bytes) {
  if (bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n") return PngDensity(bytes);
  if (bytes.substr(0, 2) == "\xFF\xD8") return JpegDensity(bytes);
  return std::nullopt;
}

std::optional<PictureDensity> DensityOfPictureFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<char> head(kHeaderBytes);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  return DensityOfPicture(std::string_view(head.data(), static_cast<size_t>(in.gcount())));
}

std::string DensityWarning(const std::string& path) {
  const std::optional<PictureDensity> density = DensityOfPictureFile(path);
  if (!density ||
      (std::lround(density->dpiX) == kScreenDpi && std::lround(density->dpiY) == kScreenDpi))
    return {};
  const std::string dpi =
      std::lround(density->dpiX) == std::lround(density->dpiY)
          ? Number(density->dpiX, "%.0f")
          : Number(density->dpiX, "%.0f") + " x " + Number(density->dpiY, "%.0f");
  return Tr(
      "warning: %1 is %2 dpi: the preview draws a picture's pixels as screen pixels (96 "
      "dpi), so it shows this form at %3 times its size; give it a copy at 96 dpi of the "
      "page's size (the designer's \"Make the dialog's picture\")",
      {path, dpi, Number(density->dpiX / kScreenDpi, "%.2f")});
}

}  // namespace tavo::tool
