// The registry file's text. What parses must format, and the formatted text must parse back to
// the same tree and format to the same text: rewriting the file never loses or changes a thing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/core/Error.h"
#include "platform/registry/RegistryText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<tavo::RegistryTree> tree;
  try {
    tree = tavo::ParseRegistryText(text, "fuzz.reg");
  } catch (const tavo::Error&) {
    return 0;  // damage reported with its line: the documented outcome
  }

  const std::string formatted = tavo::FormatRegistryText(*tree);
  std::optional<tavo::RegistryTree> again;
  try {
    again = tavo::ParseRegistryText(formatted, "fuzz.reg");
  } catch (const tavo::Error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    tavo::fuzz::Fail("the formatted registry does not parse");
  }
  if (!(*again == *tree)) tavo::fuzz::Fail("the registry changed on a round trip");
  if (tavo::FormatRegistryText(*again) != formatted) tavo::fuzz::Fail("formatting is not stable");
  return 0;
}
