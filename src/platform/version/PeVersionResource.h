// Finds the RT_VERSION resource of a PE file (.exe, .dll, .ocx, 32 or 64 bit).
#pragma once

#include <optional>

#include "platform/version/FileReader.h"

namespace tavo::version {

// The file range of the first RT_VERSION resource (first name, first language); none when the
// file is no PE file, has no such resource, or any table on the way lies about its extent.
std::optional<FileRange> FindPeVersionResource(const FileReader& file);

}  // namespace tavo::version
