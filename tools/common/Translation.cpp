#include "Translation.h"

#include <libintl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tavo::tool {
namespace {

constexpr const char* kDomain = "tavo";

// share/locale beside bin/ of the running program: the build tree's catalogs, or the package's.
fs::path CatalogFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const fs::path folder = self.parent_path().parent_path() / "share" / "locale";
  return fs::is_directory(folder, error) ? folder : fs::path();
}

// %1..%9 replaced once each, left to right: a value holding "%2" is not replaced again.
std::string Filled(std::string_view text, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const size_t index = static_cast<size_t>(text[i + 1] - '1');
      if (index < values.size()) {
        out += *(values.begin() + index);
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

void UseTranslations(TextEncoding encoding) {
  if (const fs::path folder = CatalogFolder(); !folder.empty())
    bindtextdomain(kDomain, folder.c_str());
  if (encoding == TextEncoding::Utf8) bind_textdomain_codeset(kDomain, "UTF-8");
}

std::string Tr(const char* english) { return dgettext(kDomain, english); }

std::string Tr(const char* english, std::initializer_list<std::string_view> values) {
  return Filled(dgettext(kDomain, english), values);
}

std::string TrPlural(const char* one, const char* many, unsigned long n,
                     std::initializer_list<std::string_view> values) {
  return Filled(dngettext(kDomain, one, many, n), values);
}

}  // namespace tavo::tool
