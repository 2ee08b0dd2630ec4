// Owning handles for the cairo and Pango objects the devices keep: each releases its reference
// on every path out.
#pragma once

#include <cairo.h>
#include <glib-object.h>
#include <pango/pango.h>

#include <memory>

namespace tavo {

struct CairoSurfaceRelease {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoContextRelease {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoPatternRelease {
  void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
struct CairoFontOptionsRelease {
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
struct GObjectRelease {
  void operator()(void* object) const { g_object_unref(object); }
};
struct FontDescriptionRelease {
  void operator()(PangoFontDescription* description) const {
    pango_font_description_free(description);
  }
};
struct AttrListRelease {
  void operator()(PangoAttrList* list) const { pango_attr_list_unref(list); }
};
struct FontMetricsRelease {
  void operator()(PangoFontMetrics* metrics) const { pango_font_metrics_unref(metrics); }
};

using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;
using CairoContext = std::unique_ptr<cairo_t, CairoContextRelease>;
using CairoPattern = std::unique_ptr<cairo_pattern_t, CairoPatternRelease>;
using CairoFontOptions = std::unique_ptr<cairo_font_options_t, CairoFontOptionsRelease>;
template <typename T>
using GObjectRef = std::unique_ptr<T, GObjectRelease>;
using FontDescription = std::unique_ptr<PangoFontDescription, FontDescriptionRelease>;
using AttrList = std::unique_ptr<PangoAttrList, AttrListRelease>;
using PangoMetrics = std::unique_ptr<PangoFontMetrics, FontMetricsRelease>;

}  // namespace tavo
