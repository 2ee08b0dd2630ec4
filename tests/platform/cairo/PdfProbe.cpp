#include "platform/cairo/PdfProbe.h"

#include <cairo.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

namespace tavo::test {

Image::Image(cairo_surface_t* surface) {
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return;
  width_ = cairo_image_surface_get_width(surface);
  height_ = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  pixels_.resize(static_cast<size_t>(width_) * height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      uint32_t pixel = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
      // RGB24 surfaces leave the alpha byte undefined.
      if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24) pixel |= 0xFF000000u;
      pixels_[static_cast<size_t>(y) * width_ + x] = pixel;
    }
}

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return output;
  }
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  const int result = pclose(pipe);
  if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

Image RenderRegion(const std::string& pdf, int dpi, int x, int y, int width, int height) {
  const std::string prefix = pdf + ".probe";
  std::ostringstream command;
  command << "pdftoppm -png -singlefile -r " << dpi << " -x " << x << " -y " << y << " -W " << width
          << " -H " << height << " '" << pdf << "' '" << prefix << "'";
  RunCommand(command.str());
  cairo_surface_t* surface = cairo_image_surface_create_from_png((prefix + ".png").c_str());
  Image image(surface);
  cairo_surface_destroy(surface);
  std::filesystem::remove(prefix + ".png");
  return image;
}

std::vector<WordBox> WordBoxes(const std::string& pdf) {
  const std::string html = RunCommand("pdftotext -bbox '" + pdf + "' -");
  static const std::regex word(
      R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  std::vector<WordBox> boxes;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    boxes.push_back(WordBox{m[5].str(), std::stod(m[1].str()), std::stod(m[2].str()),
                            std::stod(m[3].str()), std::stod(m[4].str())});
  }
  return boxes;
}

std::string PdfText(const std::string& pdf) { return RunCommand("pdftotext '" + pdf + "' -"); }

// The columns: name, type, encoding, emb, sub, uni, object ID; the name has no blanks, the type
// may ("CID TrueType"), so the flags are read from the end of the line.
std::vector<PdfFont> PdfFonts(const std::string& pdf) {
  std::istringstream lines(RunCommand("pdffonts '" + pdf + "'"));
  std::vector<PdfFont> fonts;
  std::string line;
  for (int row = 0; std::getline(lines, line); ++row) {
    if (row < 2) continue;
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (fields.size() < 8) continue;
    const size_t n = fields.size();
    PdfFont font;
    font.name = fields[0];
    for (size_t i = 1; i + 6 < n; ++i) font.type += (font.type.empty() ? "" : " ") + fields[i];
    font.embedded = fields[n - 5] == "yes";
    font.subset = fields[n - 4] == "yes";
    font.unicode = fields[n - 3] == "yes";
    fonts.push_back(font);
  }
  return fonts;
}

std::map<std::string, std::string> PdfInfo(const std::string& pdf) {
  std::map<std::string, std::string> info;
  std::istringstream lines(RunCommand("pdfinfo '" + pdf + "'"));
  std::string line;
  while (std::getline(lines, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t start = line.find_first_not_of(' ', colon + 1);
    info[line.substr(0, colon)] = start == std::string::npos ? "" : line.substr(start);
  }
  return info;
}

// Qt's qGray weights.
uint32_t Gray(uint32_t pixel) {
  const uint32_t r = pixel >> 16 & 0xFF, g = pixel >> 8 & 0xFF, b = pixel & 0xFF;
  return (r * 11 + g * 16 + b * 5) / 32;
}

bool IsDark(uint32_t pixel) { return Gray(pixel) < 128; }
bool IsInked(uint32_t pixel) { return Gray(pixel) < 224; }

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tavo-cairo-test-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_))
    names.push_back(entry.path().filename().string());
  return names;
}

}  // namespace tavo::test
