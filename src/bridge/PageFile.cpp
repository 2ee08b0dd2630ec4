#include "bridge/PageFile.h"

#include <system_error>

#include "platform/core/Error.h"
#include "platform/core/TempFile.h"

namespace tavo::bridge {

void WritePageFile(const std::filesystem::path& target, std::string_view text,
                   const std::string& shownPath) {
  std::error_code error;
  std::filesystem::create_directories(target.parent_path(), error);
  if (error) throw Error("Cannot write the file " + shownPath + ": " + error.message());
  TempFile file(target.string(), shownPath);
  if (!file.Write(text.data(), text.size())) {
    throw Error("Cannot write the file " + shownPath + ": " +
                std::error_code(file.WriteError(), std::generic_category()).message());
  }
  file.ReplaceTarget();
}

}  // namespace tavo::bridge
