// Reads a file's version block the way the control does: size, block, queries.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/version/VersionInfo.h"

namespace tavo::testing {

class VersionQuery {
 public:
  explicit VersionQuery(const std::string& path) {
    const uint32_t size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    if (size == 0) return;
    block_.resize(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block_.data())) block_.clear();
  }

  bool HasBlock() const { return !block_.empty(); }
  size_t BlockSize() const { return block_.size(); }

  std::optional<VS_FIXEDFILEINFO> Fixed() {
    void* value = nullptr;
    uint32_t len = 0;
    if (!HasBlock() || !VerQueryValueA(block_.data(), "\\", &value, &len)) return std::nullopt;
    if (len != sizeof(VS_FIXEDFILEINFO)) return std::nullopt;
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, value, sizeof info);
    return info;
  }

  // A text value as the ANSI bytes before its terminating zero.
  std::optional<std::string> Text(const std::string& subBlock) {
    void* value = nullptr;
    uint32_t len = 0;
    if (!HasBlock() || !VerQueryValueA(block_.data(), subBlock.c_str(), &value, &len)) {
      return std::nullopt;
    }
    const char* text = static_cast<const char*>(value);
    if (len == 0 || text[len - 1] != '\0') return std::nullopt;
    return std::string(text, len - 1);
  }

  std::optional<std::vector<unsigned char>> Binary(const std::string& subBlock) {
    void* value = nullptr;
    uint32_t len = 0;
    if (!HasBlock() || !VerQueryValueA(block_.data(), subBlock.c_str(), &value, &len)) {
      return std::nullopt;
    }
    const auto* bytes = static_cast<const unsigned char*>(value);
    return std::vector<unsigned char>(bytes, bytes + len);
  }

 private:
  std::vector<unsigned char> block_;
};

}  // namespace tavo::testing
