// A text file a page writes into its own folder (tavo.writeFile): it lands whole or not at all,
// by a temporary file beside it renamed over it, with the folders on its way made as needed.
// Every part of the way is opened from the folder's descriptor without following a symbolic
// link, so a link another program plants in the folder after the bridge's check leads nowhere.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavo::bridge {

// The worker's own methods: not the control's, they need no control object.
inline constexpr std::string_view kWriteFileMethod = "tavo.writeFile";
// The same for bytes given as Base64 text (a picture the page made).
inline constexpr std::string_view kWriteBinaryFileMethod = "tavo.writeBinaryFile";

// Writes the UTF-8 `text` to `relative` beneath `folder`. Fails with tavo::Error "Cannot write
// the file RELATIVE: reason" (a link on the way: "Too many levels of symbolic links").
void WritePageFile(const std::filesystem::path& folder, const std::filesystem::path& relative,
                   std::string_view text);
// Writes the bytes of Base64 text; text that is not Base64 fails with tavo::Error "Cannot write
// the file RELATIVE: the data is not Base64 text" and writes nothing.
void WritePageFileFromBase64(const std::filesystem::path& folder,
                             const std::filesystem::path& relative, std::string_view base64);

}  // namespace tavo::bridge
