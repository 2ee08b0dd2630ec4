// A text file a page writes into its own folder (tavo.writeFile): it lands whole or not at all,
// by a temporary file beside it renamed over it, with the folders on its way made as needed.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavo::bridge {

// The worker's own method: not the control's, it needs no control object.
inline constexpr std::string_view kWriteFileMethod = "tavo.writeFile";

// Writes the UTF-8 `text` to `target`, a path the bridge has already confined to the page's
// folder. Fails with tavo::Error "Cannot write the file SHOWN: reason".
void WritePageFile(const std::filesystem::path& target, std::string_view text,
                   const std::string& shownPath);

}  // namespace tavo::bridge
