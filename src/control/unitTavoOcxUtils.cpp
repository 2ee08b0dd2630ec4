#include "control/unitTavoOcxUtils.h"

#include <vector>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/registry/Registry.h"
#include "platform/version/VersionInfo.h"

namespace tavo {

std::u16string GetFileVersionText(std::u16string_view path) {
  const std::string ansiPath = codepage::WideToAnsi(path);
  uint32_t handle = 0;
  // The whole block is read, whatever its size: no 16-bit size and no fixed path buffer.
  const uint32_t size = GetFileVersionInfoSizeA(ansiPath.c_str(), &handle);
  if (size == 0) return {};
  try {
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoA(ansiPath.c_str(), 0, size, block.data())) {
      throw Error("The version block of " + ansiPath + " cannot be read");
    }
    void* buffer = nullptr;
    uint32_t length = 0;
    if (!VerQueryValueA(block.data(), "\\", &buffer, &length) || buffer == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
      return {};
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(buffer);
    const std::string text = std::to_string(info->dwFileVersionMS >> 16) + "." +
                             std::to_string(info->dwFileVersionMS & 0xFFFF) + "." +
                             std::to_string(info->dwFileVersionLS >> 16) + "." +
                             std::to_string(info->dwFileVersionLS & 0xFFFF);
    return codepage::Utf8ToWide(text);
  } catch (...) {
    return u"-1";
  }
}

std::u16string GetClassFileVersion(const CLSID& classId) {
  // Only read: a user who may not write the registry still sees registered classes.
  const RegistryTree registry = ReadRegistry();
  const std::string key = "\\CLSID\\" + FormatGuid(classId) + "\\ToolboxBitmap32";
  if (!registry.KeyExists(key)) return {};
  const std::string value = registry.GetValue(key, "").value_or("");
  const size_t comma = value.find(',');
  const std::string modulePath = comma == std::string::npos ? "" : value.substr(0, comma);
  return GetFileVersionText(codepage::Utf8ToWide(modulePath));
}

bool IsClassRegistered(const std::string& ansiClassIdText) {
  try {
    return ReadRegistry().KeyExists("\\CLSID\\{" + codepage::AnsiToUtf8(ansiClassIdText) + "}");
  } catch (const std::exception&) {
    return false;  // a registry that cannot be read registers nothing
  }
}

}  // namespace tavo
