// The files of a page: each origin has one folder, and every path a page hands to the control
// is resolved inside it. A path that would reach or create a file outside it, by being
// absolute, by a ".." part or through a symbolic link, is refused.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "bridge/BridgeMethods.h"

namespace tavo::bridge {

inline constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005);

// A call the page may not make, with the failure status and description it is answered with.
struct AccessDenied : std::runtime_error {
  explicit AccessDenied(const std::string& message) : std::runtime_error(message) {}
};

class PageFolder {
 public:
  // `folder` is made when missing.
  explicit PageFolder(std::filesystem::path folder);

  const std::filesystem::path& Path() const { return folder_; }

  // The text to hand to the control for a parameter of `role` (UTF-8), or AccessDenied.
  std::string Confine(const std::string& text, ArgRole role) const;

 private:
  // The absolute path inside the folder that `relative` names, or nothing when it is
  // absolute, or it or a link on its way leads outside.
  std::optional<std::filesystem::path> Inside(const std::string& relative) const;

  std::filesystem::path folder_;  // canonical
};

}  // namespace tavo::bridge
