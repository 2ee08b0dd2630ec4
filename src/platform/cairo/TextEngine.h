// Text for every device, through Pango: one font map and one Pango context for the process,
// with fixed font options (metrics hinted to whole device pixels, positions rounded, kerning
// and ligatures off), so a raster and a PDF measure every run alike and a run measures as the
// sum of its characters. Characters a font lacks come from fontconfig's fallback, measured
// as they are drawn.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string_view>

#include "platform/canvas/Canvas.h"

namespace tavo {

// Character heights beyond this are measured and drawn at this height.
constexpr int32_t kMaxFontPixels = 16384;

FontMetrics TextMetrics(const Font& font);
// The advance width of an ANSI run as one line, in device pixels.
int32_t MeasureText(const Font& font, std::string_view ansiRun);
enum class Glyphs {
  AsFontRendersThem,  // a font's own small-size bitmaps included, as the screen shows them
  Outlines,           // filled outlines, as a printer's page has them however small it is shown
};

// Draws the run in the font's colour with the left end of its baseline at (x, baseline), in
// the user space of `cr`, which counts device pixels.
void DrawText(cairo_t* cr, const Font& font, double x, double baseline, std::string_view ansiRun,
              Glyphs glyphs = Glyphs::AsFontRendersThem);

// Frees the font map, fonts and caches of the text engine and cairo's, for a process that draws
// no more text (a leak checker then sees the font allocations returned). Text drawn afterwards
// starts them anew; no cairo object may be alive. Fontconfig's own configuration stays.
void ReleaseTextEngine();

}  // namespace tavo
