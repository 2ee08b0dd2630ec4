// Raster pictures as PNG files that say their scale (a pHYs chunk), so that a viewer, or the
// designer laying a printer's sheet over a form, knows how large a pixel is on paper.
#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

namespace tavo {

// The surface as a PNG file's bytes at `pixelsPerMetre` (rounded to a whole number, as PNG
// keeps it). Throws tavo::Error when cairo cannot encode it.
std::string EncodePng(cairo_surface_t* surface, double pixelsPerMetre);

// The PNG file's bytes with a text chunk (Latin-1 keyword and text) right after its header, where
// a reader of the file's first bytes finds it.
std::string AddPngText(std::string png, std::string_view keyword, std::string_view text);

}  // namespace tavo
