// Colour values: 00BBGGRR, FF0000nn for system colour nn, and two special values.
#pragma once

#include <cstdint>

namespace tavo {

using Color = uint32_t;

constexpr Color clBlack = 0x000000;
constexpr Color clWhite = 0xFFFFFF;
constexpr Color clWindowText = 0xFF000008;
constexpr Color clNone = 0x1FFFFFFF;
constexpr Color clDefault = 0x20000000;

// The colour as 0xRRGGBB: system colours through the classic Windows default colours, clNone
// and clDefault as black (the colour a pen or font falls back to).
uint32_t ColorToRgb(Color color);

}  // namespace tavo
