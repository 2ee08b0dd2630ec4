#include "bridge/PageFolder.h"

#include <algorithm>
#include <cctype>

namespace tavo::bridge {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void Refuse(const std::string& path) {
  throw AccessDenied("Paths outside the page's own folder are not accessible: " + path);
}

bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

bool IsControl(char c) { return (c >= 0 && c < 0x20) || c == 0x7f; }

bool HoldsControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), IsControl);
}

// Base64 picture data, perhaps broken into lines: never a path, so its line breaks pass.
bool IsBase64Text(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=' ||
           c == '\r' || c == '\n' || c == '\t' || c == ' ';
  });
}

bool Within(const fs::path& path, const fs::path& folder) {
  auto [folderEnd, pathAt] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return folderEnd == folder.end();
}

// Follows symbolic links of the last part (even dangling ones, which a writer would create
// through) and resolves the rest as far as it exists.
fs::path Resolve(fs::path path) {
  std::error_code error;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++hops) {
    const fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return fs::weakly_canonical(path, error);
}

bool NamesFile(const std::string& text) {
  std::error_code error;
  return !text.empty() && fs::exists(fs::symlink_status(text, error));
}

}  // namespace

PageFolder::PageFolder(fs::path folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
  folder_ = fs::weakly_canonical(folder, error);
  if (error) folder_ = fs::absolute(folder);
}

std::optional<fs::path> PageFolder::Inside(const std::string& relative) const {
  // A NUL would cut the text short for the system while the rest still counted here.
  if (HoldsControl(relative)) return std::nullopt;
  const fs::path given(relative);
  if (given.is_absolute()) return std::nullopt;
  const fs::path resolved = Resolve(folder_ / given);
  if (resolved.empty() || !Within(resolved, folder_) || resolved == folder_) return std::nullopt;
  // The control gets the very path that was checked.
  return resolved;
}

std::string PageFolder::Confine(const std::string& text, ArgRole role) const {
  switch (role) {
    case ArgRole::Plain:
      return text;
    case ArgRole::SourceUrl:
      if (StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://")) return text;
      throw AccessDenied("Only http and https addresses are downloaded: " + text);
    case ArgRole::TargetFile: {
      const auto inside = Inside(text);
      if (!inside) Refuse(text);
      return inside->string();
    }
    case ArgRole::Printer: {
      if (!StartsWithNoCase(text, "pdf:")) return text;  // a CUPS destination
      const std::string path = text.substr(4);
      const auto inside = Inside(path);
      if (!inside) Refuse(path);
      return "pdf:" + inside->string();
    }
    case ArgRole::FileOrText: {
      if (text.empty()) return text;
      if (HoldsControl(text)) {
        if (IsBase64Text(text)) return text;
        Refuse(text);
      }
      if (const auto inside = Inside(text)) {
        std::error_code error;
        // A relative text that names no file inside may still be picture data.
        return fs::exists(*inside, error) ? inside->string() : text;
      }
      // Outside: refused when it names a file, else it is no path at all. Picture data never
      // holds a ".." part.
      const fs::path given(text);
      if (std::find(given.begin(), given.end(), "..") != given.end()) Refuse(text);
      if (NamesFile(given.is_absolute() ? text : (folder_ / given).string())) Refuse(text);
      return text;
    }
  }
  return text;
}

}  // namespace tavo::bridge
