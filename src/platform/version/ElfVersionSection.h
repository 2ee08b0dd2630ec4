// Finds the ".versioninfo" section of an ELF file (32 or 64 bit, either byte order), where our
// own modules carry their VS_VERSIONINFO block.
#pragma once

#include <optional>

#include "platform/version/FileReader.h"

namespace tavo::version {

// The file range of the section named ".versioninfo"; none when the file is no ELF file, has no
// such section, or its section tables lie about their extent.
std::optional<FileRange> FindElfVersionSection(const FileReader& file);

}  // namespace tavo::version
