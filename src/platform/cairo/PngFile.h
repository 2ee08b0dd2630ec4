// Raster pictures as PNG files that say their scale (a pHYs chunk), so that a viewer, or the
// designer laying a printer's sheet over a form, knows how large a pixel is on paper.
#pragma once

#include <cairo.h>

#include <string>

namespace tavo {

// The surface as a PNG file's bytes at `pixelsPerMetre` (rounded to a whole number, as PNG
// keeps it). Throws tavo::Error when cairo cannot encode it.
std::string EncodePng(cairo_surface_t* surface, double pixelsPerMetre);

}  // namespace tavo
