#include "platform/cairo/TextEngine.h"

#include <cairo-ft.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/cairo/CairoHandles.h"
#include "platform/cairo/FontMapping.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

// A page uses a handful of fonts and a few hundred characters; the caches stay far below these.
constexpr size_t kMaxFaces = 64;
constexpr size_t kMaxCharWidths = 4096;

// One font at one pixel height, with what measuring it has found so far.
struct Face {
  FontDescription description;
  FontMetrics metrics;
  std::map<std::string, int32_t> charWidths;  // UTF-8 character -> advance
};

// Control characters (tabs, stray line breaks) are neither measured nor drawn, so that no tab
// stop or paragraph glyph can make a run differ from the sum of its characters.
std::string VisibleUtf8(std::string_view ansiRun) {
  std::string utf8 = codepage::AnsiToUtf8(ansiRun);
  if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) {
    gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
    utf8 = valid;
    g_free(valid);
  }
  // As bytes: char is signed on x86-64 and unsigned on arm64, and UTF-8's lead and trail
  // bytes are no control characters.
  std::erase_if(utf8, [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
  return utf8;
}

class Engine {
 public:
  Engine() {
    // The Windows font names must be known to fontconfig before the font map asks it anything.
    LoadFontMapping();
    fontMap_.reset(pango_cairo_font_map_new());
    context_.reset(pango_font_map_create_context(fontMap_.get()));
    const CairoFontOptions options(cairo_font_options_create());
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_.get(), options.get());
    pango_context_set_round_glyph_positions(context_.get(), TRUE);
    // The forms are Chinese: fallback prefers the simplified Chinese forms of CJK characters.
    pango_context_set_language(context_.get(), pango_language_from_string("zh-cn"));
    attributes_.reset(pango_attr_list_new());
    pango_attr_list_insert(attributes_.get(),
                           pango_attr_font_features_new("kern 0, liga 0, clig 0, calt 0"));
  }

  ~Engine() {
    faces_.clear();
    context_.reset();
    // Fonts and fontsets the map still caches go with it.
    pango_fc_font_map_shutdown(PANGO_FC_FONT_MAP(fontMap_.get()));
  }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  std::mutex& Mutex() { return mutex_; }

  Face& FaceOf(const Font& font) {
    const int32_t pixels = std::clamp(font.pixelHeight, 1, kMaxFontPixels);
    auto key = std::make_pair(font.name, pixels);
    auto it = faces_.find(key);
    if (it != faces_.end()) return *it->second;
    if (faces_.size() >= kMaxFaces) faces_.clear();
    auto face = std::make_unique<Face>();
    face->description.reset(pango_font_description_new());
    const std::string family = codepage::AnsiToUtf8(font.name);
    pango_font_description_set_family(face->description.get(), family.c_str());
    pango_font_description_set_absolute_size(face->description.get(),
                                             static_cast<double>(pixels) * PANGO_SCALE);
    face->metrics = LoadMetrics(*face, pixels);
    return *faces_.emplace(std::move(key), std::move(face)).first->second;
  }

  GObjectRef<PangoLayout> Layout(const Face& face, const std::string& utf8) {
    GObjectRef<PangoLayout> layout(pango_layout_new(context_.get()));
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    pango_layout_set_font_description(layout.get(), face.description.get());
    pango_layout_set_attributes(layout.get(), attributes_.get());
    pango_layout_set_text(layout.get(), utf8.data(), static_cast<int>(utf8.size()));
    return layout;
  }

  int32_t CharWidth(Face& face, std::string utf8Char) {
    auto it = face.charWidths.find(utf8Char);
    if (it != face.charWidths.end()) return it->second;
    if (face.charWidths.size() >= kMaxCharWidths) face.charWidths.clear();
    const GObjectRef<PangoLayout> layout = Layout(face, utf8Char);
    PangoRectangle logical{};
    pango_layout_line_get_extents(pango_layout_get_line_readonly(layout.get(), 0), nullptr,
                                  &logical);
    const int32_t width = PANGO_PIXELS(logical.width);
    face.charWidths.emplace(std::move(utf8Char), width);
    return width;
  }

 private:
  // The font's design ascent and descent at its pixel height, each rounded to the nearest pixel
  // (AR PL UMing CN at 16 px: 14 and 2, as the forms were laid out), not hinted outward.
  FontMetrics LoadMetrics(const Face& face, int32_t pixels) {
    const GObjectRef<PangoFont> loaded(
        pango_font_map_load_font(fontMap_.get(), context_.get(), face.description.get()));
    if (!loaded) throw Error("No font can be loaded: fontconfig knows no fonts");
    cairo_scaled_font_t* scaled = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(loaded.get()));
    if (FT_Face ft = scaled ? cairo_ft_scaled_font_lock_face(scaled) : nullptr) {
      FontMetrics metrics;
      if (ft->units_per_EM > 0) {
        const double scale = static_cast<double>(pixels) / ft->units_per_EM;
        metrics = FontMetrics{static_cast<int32_t>(std::lround(ft->ascender * scale)),
                              static_cast<int32_t>(std::lround(-ft->descender * scale))};
      }
      cairo_ft_scaled_font_unlock_face(scaled);
      if (metrics.LineHeight() > 0) return metrics;
    }
    const PangoMetrics metrics(pango_font_get_metrics(loaded.get(), nullptr));
    return FontMetrics{PANGO_PIXELS(pango_font_metrics_get_ascent(metrics.get())),
                       PANGO_PIXELS(pango_font_metrics_get_descent(metrics.get()))};
  }

  std::mutex mutex_;
  GObjectRef<PangoFontMap> fontMap_;
  GObjectRef<PangoContext> context_;
  AttrList attributes_;
  std::map<std::pair<std::string, int32_t>, std::unique_ptr<Face>> faces_;
};

std::unique_ptr<Engine>& EngineSlot() {
  static std::unique_ptr<Engine> engine;
  return engine;
}

Engine& TheEngine() {
  std::unique_ptr<Engine>& engine = EngineSlot();
  if (!engine) engine = std::make_unique<Engine>();
  return *engine;
}

}  // namespace

void ReleaseTextEngine() {
  EngineSlot().reset();
  cairo_debug_reset_static_data();
}

FontMetrics TextMetrics(const Font& font) {
  Engine& engine = TheEngine();
  const std::lock_guard lock(engine.Mutex());
  return engine.FaceOf(font).metrics;
}

int32_t MeasureText(const Font& font, std::string_view ansiRun) {
  const std::string utf8 = VisibleUtf8(ansiRun);
  Engine& engine = TheEngine();
  const std::lock_guard lock(engine.Mutex());
  Face& face = engine.FaceOf(font);
  int64_t width = 0;
  for (const char* ch = utf8.c_str(); *ch; ch = g_utf8_next_char(ch)) {
    const char* next = g_utf8_next_char(ch);
    width += engine.CharWidth(face, std::string(ch, next));
  }
  return static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
}

void DrawText(cairo_t* cr, const Font& font, double x, double baseline, std::string_view ansiRun,
              Glyphs glyphs) {
  const std::string utf8 = VisibleUtf8(ansiRun);
  if (utf8.empty()) return;
  Engine& engine = TheEngine();
  const std::lock_guard lock(engine.Mutex());
  const GObjectRef<PangoLayout> layout = engine.Layout(engine.FaceOf(font), utf8);
  const uint32_t rgb = ColorToRgb(font.color);
  cairo_set_source_rgb(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
  cairo_move_to(cr, x, baseline);
  PangoLayoutLine* line = pango_layout_get_line_readonly(layout.get(), 0);
  if (glyphs == Glyphs::Outlines) {
    pango_cairo_layout_line_path(cr, line);
    cairo_fill(cr);
  } else {
    pango_cairo_show_layout_line(cr, line);
  }
}

}  // namespace tavo
