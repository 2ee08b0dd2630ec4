#include "platform/version/VersionInfo.h"

#include <cstring>
#include <vector>

#include "platform/version/ElfVersionSection.h"
#include "platform/version/FileReader.h"
#include "platform/version/PeVersionResource.h"
#include "platform/version/VersionBlock.h"

namespace tavo {
namespace {

using version::FileRange;
using version::FileReader;

std::optional<FileRange> FindVersionResource(const FileReader& file) {
  if (auto pe = version::FindPeVersionResource(file)) return pe;
  return version::FindElfVersionSection(file);
}

std::optional<std::vector<unsigned char>> ReadRoot(const char* path) {
  if (!path) return std::nullopt;
  const auto file = FileReader::Open(path);
  if (!file) return std::nullopt;
  const auto range = FindVersionResource(*file);
  if (!range) return std::nullopt;
  return version::ReadVersionRoot(*file, *range);
}

}  // namespace

uint32_t GetFileVersionInfoSizeA(const char* path, uint32_t* handle) {
  if (handle) *handle = 0;
  const auto root = ReadRoot(path);
  return root ? static_cast<uint32_t>(version::BlockSize(root->size())) : 0;
}

bool GetFileVersionInfoA(const char* path, uint32_t /*handle*/, uint32_t len, void* data) {
  if (!data) return false;
  const auto root = ReadRoot(path);
  if (!root || len < version::BlockSize(root->size())) return false;
  version::LayOutBlock(*root, static_cast<unsigned char*>(data));
  return true;
}

bool VerQueryValueA(const void* block, const char* subBlock, void** buffer, uint32_t* len) {
  if (!block || !subBlock || !buffer || !len) return false;
  // The block is the caller's writable buffer that GetFileVersionInfoA filled; text answers are
  // converted into its conversion area, as the original platform does.
  return version::QueryBlock(static_cast<unsigned char*>(const_cast<void*>(block)), subBlock,
                             buffer, len);
}

std::optional<VersionNumbers> ReadFixedFileVersion(const std::string& ansiPath) {
  const uint32_t size = GetFileVersionInfoSizeA(ansiPath.c_str(), nullptr);
  if (size == 0) return std::nullopt;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoA(ansiPath.c_str(), 0, size, block.data())) return std::nullopt;
  void* value = nullptr;
  uint32_t length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length)) return std::nullopt;
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, value, sizeof info);
  return VersionNumbers{{static_cast<uint16_t>(info.dwFileVersionMS >> 16),
                         static_cast<uint16_t>(info.dwFileVersionMS & 0xFFFF),
                         static_cast<uint16_t>(info.dwFileVersionLS >> 16),
                         static_cast<uint16_t>(info.dwFileVersionLS & 0xFFFF)}};
}

}  // namespace tavo
