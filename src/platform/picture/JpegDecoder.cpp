// JPEG pictures through libjpeg. libjpeg reports failures by calling an error handler that must
// not return, so ours longjmps; every call into libjpeg happens in a small C-like function that
// owns nothing with a destructor. A picture whose data ends early (libjpeg would fill the rest
// with grey) counts as corrupt, as does one with an absurd number of progressive scans.
// jpeglib.h uses size_t and FILE without including their headers.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/picture/Picture.h"
#include "platform/picture/PixelFormat.h"

namespace tavo {
namespace {

// Each progressive scan passes over the whole picture; legitimate encoders use about a dozen.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool endedEarly;
};

ErrorManager* ErrorsOf(j_common_ptr cinfo) { return reinterpret_cast<ErrorManager*>(cinfo->err); }

[[noreturn]] void OnError(j_common_ptr cinfo) { std::longjmp(ErrorsOf(cinfo)->jump, 1); }

// Warnings are not printed. Those that mean the picture's data ended before the picture did (the
// file, or an entropy-coded segment cut short by a marker) are remembered.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  ErrorManager* errors = ErrorsOf(cinfo);
  const int code = errors->pub.msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) errors->endedEarly = true;
  errors->pub.num_warnings++;
}

void OnProgress(j_common_ptr cinfo) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decompress->input_scan_number > kMaxScans) std::longjmp(ErrorsOf(cinfo)->jump, 1);
}

// libjpeg's decompressor with its error and progress handlers; destroyed with the object.
struct JpegDecompressor {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  jpeg_progress_mgr progress{};
  bool created = false;

  JpegDecompressor() = default;
  JpegDecompressor(const JpegDecompressor&) = delete;
  JpegDecompressor& operator=(const JpegDecompressor&) = delete;
  ~JpegDecompressor() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

bool CreateAndReadHeader(JpegDecompressor* jpeg, const uint8_t* data, size_t size) {
  jpeg_decompress_struct* cinfo = &jpeg->cinfo;
  cinfo->err = jpeg_std_error(&jpeg->errors.pub);
  jpeg->errors.pub.error_exit = OnError;
  jpeg->errors.pub.emit_message = OnMessage;
  if (setjmp(jpeg->errors.jump)) return false;
  jpeg_create_decompress(cinfo);
  jpeg->created = true;
  jpeg->progress.progress_monitor = OnProgress;
  cinfo->progress = &jpeg->progress;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
  const bool fourChannel =
      cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = fourChannel ? JCS_CMYK : JCS_RGB;
  jpeg_calc_output_dimensions(cinfo);
  return !jpeg->errors.endedEarly;
}

// Adobe writes CMYK inverted (0 is full ink); other writers store plain ink amounts.
uint32_t CmykToArgb(const uint8_t* cmyk, bool inverted) {
  uint32_t c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
  if (!inverted) {
    c = 255 - c;
    m = 255 - m;
    y = 255 - y;
    k = 255 - k;
  }
  return Argb(255, (c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
}

void ConvertRow(const jpeg_decompress_struct& cinfo, const uint8_t* row, uint32_t* out) {
  const bool cmyk = cinfo.out_color_space == JCS_CMYK;
  const bool inverted = cinfo.saw_Adobe_marker;
  for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
    if (cmyk) {
      out[x] = CmykToArgb(row + x * 4, inverted);
    } else {
      out[x] = Argb(255, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
    }
  }
}

// Decodes every scanline into `pixels` through the one-row buffer `row`.
bool ReadPixels(JpegDecompressor* jpeg, uint8_t* row, uint32_t* pixels) {
  jpeg_decompress_struct* cinfo = &jpeg->cinfo;
  if (setjmp(jpeg->errors.jump)) return false;
  jpeg_start_decompress(cinfo);
  while (cinfo->output_scanline < cinfo->output_height) {
    if (jpeg->errors.endedEarly) return false;
    JSAMPROW rows[1] = {row};
    const JDIMENSION y = cinfo->output_scanline;
    if (jpeg_read_scanlines(cinfo, rows, 1) != 1) return false;
    ConvertRow(*cinfo, row, pixels + size_t{y} * cinfo->output_width);
  }
  jpeg_finish_decompress(cinfo);
  return !jpeg->errors.endedEarly;
}

}  // namespace

std::optional<Graphic> DecodeJpeg(std::span<const uint8_t> bytes) {
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
  JpegDecompressor jpeg;
  if (!CreateAndReadHeader(&jpeg, bytes.data(), bytes.size())) return std::nullopt;
  const jpeg_decompress_struct& cinfo = jpeg.cinfo;
  if (!FitsPixelLimit(cinfo.image_width, cinfo.image_height) ||
      !FitsPixelLimit(cinfo.output_width, cinfo.output_height)) {
    return std::nullopt;
  }

  Graphic graphic;
  graphic.kind = GraphicKind::Jpeg;
  graphic.width = static_cast<int32_t>(cinfo.output_width);
  graphic.height = static_cast<int32_t>(cinfo.output_height);
  graphic.pixels.resize(size_t{cinfo.output_width} * cinfo.output_height);
  std::vector<uint8_t> row(size_t{cinfo.output_width} * 4);
  if (!ReadPixels(&jpeg, row.data(), graphic.pixels.data())) return std::nullopt;
  return graphic;
}

}  // namespace tavo
