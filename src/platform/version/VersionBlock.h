// The caller's version block: reading the VS_VERSIONINFO root out of a file, laying it out with
// its conversion area, and answering queries on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/version/FileReader.h"

namespace tavo::version {

// The VS_VERSIONINFO structure at the start of `range` (its wLength bytes); none when it does not
// fit the range, is not a VS_VERSION_INFO root, or its length is odd.
std::optional<std::vector<unsigned char>> ReadVersionRoot(const FileReader& file, FileRange range);

// The bytes a caller's block needs for a root of `rootSize` bytes.
uint64_t BlockSize(uint64_t rootSize);

// Writes the root, the signature and an empty conversion area into `block` (BlockSize bytes).
void LayOutBlock(const std::vector<unsigned char>& root, unsigned char* block);

// Answers the query `subBlock` (ANSI, parts separated by "\") on a block laid out by LayOutBlock.
bool QueryBlock(unsigned char* block, std::string_view subBlock, void** buffer, uint32_t* len);

}  // namespace tavo::version
