// The picture holder: at most one decoded graphic (bitmap, JPEG, PNG or icon) with its size.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavo {

enum class GraphicKind { Bitmap, Jpeg, Png, Icon };

// Pictures above this many pixels load as no picture: nothing allocates from an unchecked header.
constexpr int64_t kMaxPicturePixels = 100'000'000;

// One decoded graphic: straight (not premultiplied) 0xAARRGGBB pixels, rows from the top.
struct Graphic {
  GraphicKind kind = GraphicKind::Bitmap;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  bool Empty() const { return width <= 0 || height <= 0; }
};

class Picture {
 public:
  // True when the picture holds a graphic with at least one pixel.
  bool HasGraphic() const { return graphic_ && !graphic_->Empty(); }
  // The graphic, or null; an empty graphic (a failed bitmap or JPEG load) is returned too.
  const Graphic* GetGraphic() const { return graphic_.get(); }
  int32_t Width() const { return graphic_ ? graphic_->width : 0; }
  int32_t Height() const { return graphic_ ? graphic_->height : 0; }

  void Assign(Graphic graphic) { graphic_ = std::make_shared<const Graphic>(std::move(graphic)); }
  // Shares the other picture's graphic: copying never decodes twice.
  void Assign(const Picture& other) { graphic_ = other.graphic_; }
  void Clear() { graphic_.reset(); }

 private:
  std::shared_ptr<const Graphic> graphic_;
};

// Decoders. Each returns nothing for corrupt data or a picture over kMaxPicturePixels.
std::optional<Graphic> DecodePng(std::span<const uint8_t> bytes);
std::optional<Graphic> DecodeJpeg(std::span<const uint8_t> bytes);
std::optional<Graphic> DecodeBmp(std::span<const uint8_t> bytes);
std::optional<Graphic> DecodeIco(std::span<const uint8_t> bytes);

}  // namespace tavo
