// Version resources of PE and ELF files: the input is the file. Whatever the file declares, every
// answer VerQueryValueA gives must lie inside the caller's block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/version/VersionInfo.h"

namespace {

// Block sizes beyond this are a file's claim we do not need to follow here: the reader reads
// blocks of any size, and the claim is bounded by the file anyway.
constexpr uint32_t kMaxBlock = 16u << 20;

bool Query(std::vector<unsigned char>& block, const std::string& subBlock, void** value,
           uint32_t* length) {
  *value = nullptr;
  *length = 0;
  if (!tavo::VerQueryValueA(block.data(), subBlock.c_str(), value, length)) return false;
  const auto* begin = static_cast<const unsigned char*>(*value);
  if (begin < block.data() || begin + *length > block.data() + block.size()) {
    tavo::fuzz::Fail("VerQueryValueA answered outside the block");
  }
  return true;
}

void QueryStrings(std::vector<unsigned char>& block, const std::string& table) {
  static const char* const kNames[] = {"FileVersion", "ProductVersion", "FileDescription",
                                       "ProductName", "OleSelfRegister"};
  void* value = nullptr;
  uint32_t length = 0;
  for (const char* name : kNames) {
    const std::string key = "\\StringFileInfo\\" + table + "\\" + name;
    // Twice: the second answer reuses the string's slot in the conversion area. (A node of
    // binary type answers its raw bytes, with no terminating zero.)
    for (int round = 0; round < 2; ++round) Query(block, key, &value, &length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path =
      tavo::fuzz::ScratchFolder::Get().Write("module.dll", std::span<const uint8_t>(data, size));
  uint32_t handle = 1;
  const uint32_t needed = tavo::GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (handle != 0) tavo::fuzz::Fail("the handle was not cleared");
  if (needed == 0 || needed > kMaxBlock) return 0;

  std::vector<unsigned char> block(needed);
  if (tavo::GetFileVersionInfoA(path.c_str(), 0, needed - 1, block.data())) {
    tavo::fuzz::Fail("a cut block was filled");
  }
  if (!tavo::GetFileVersionInfoA(path.c_str(), 0, needed, block.data())) return 0;

  void* value = nullptr;
  uint32_t length = 0;
  Query(block, "\\", &value, &length);
  Query(block, "\\StringFileInfo", &value, &length);
  if (Query(block, "\\VarFileInfo\\Translation", &value, &length)) {
    const auto* pairs = static_cast<const unsigned char*>(value);
    for (uint32_t at = 0; at + 4 <= length && at < 64; at += 4) {
      char table[9];
      std::snprintf(table, sizeof table, "%04X%04X", pairs[at] | pairs[at + 1] << 8,
                    pairs[at + 2] | pairs[at + 3] << 8);
      QueryStrings(block, table);
    }
  }
  QueryStrings(block, "080404B0");
  QueryStrings(block, "040904B0");
  (void)tavo::ReadFixedFileVersion(path);
  return 0;
}
