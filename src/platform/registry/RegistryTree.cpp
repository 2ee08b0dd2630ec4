#include "platform/registry/RegistryTree.h"

#include <algorithm>
#include <iterator>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/registry/RegistryEncoding.h"

namespace tavo {
namespace {

// The system's limits on name lengths, in characters.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

unsigned char Fold(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

std::string_view WithoutLeadingSeparator(std::string_view key) {
  if (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  return key;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

void CheckKeyName(std::string_view name) {
  if (name.empty()) throw Error("A registry key name cannot be empty");
  if (HasControlCharacter(name) || !codepage::IsValidUtf8(name))
    throw Error("Invalid registry key name '" + std::string(name) + "'");
  if (Utf8Length(name) > kMaxKeyNameLength)
    throw Error("The registry key name '" + std::string(name) + "' is too long");
}

void CheckValueName(std::string_view name) {
  if (HasControlCharacter(name) || !codepage::IsValidUtf8(name))
    throw Error("Invalid registry value name '" + std::string(name) + "'");
  if (Utf8Length(name) > kMaxValueNameLength)
    throw Error("The registry value name '" + std::string(name) + "' is too long");
}

void CheckStringData(std::string_view name, std::string_view text) {
  if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos ||
      !codepage::IsValidUtf8(text))
    throw Error("The registry value '" + std::string(name) +
                "' cannot hold line breaks, zero characters or text that is not UTF-8");
}

// True when `path` lies below `ancestor` (both stored spellings or lookups of them).
bool IsBelow(std::string_view path, std::string_view ancestor) {
  if (ancestor.empty()) return !path.empty();
  if (path.size() <= ancestor.size() || path[ancestor.size()] != '\\') return false;
  return !NoCaseLess{}(path.substr(0, ancestor.size()), ancestor) &&
         !NoCaseLess{}(ancestor, path.substr(0, ancestor.size()));
}

}  // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

bool KeyPathLess::operator()(std::string_view a, std::string_view b) const {
  // The separator sorts before every character a name may hold, so "A\B" < "A B" < "AB".
  const auto rank = [](char c) -> unsigned { return c == '\\' ? 0u : Fold(c) + 1u; };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return rank(x) < rank(y); });
}

RegistryTree::RegistryTree() { keys_.emplace("", Values{}); }

RegistryTree::Keys::const_iterator RegistryTree::Find(std::string_view key) const {
  return keys_.find(WithoutLeadingSeparator(key));
}

bool RegistryTree::KeyExists(std::string_view key) const { return Find(key) != keys_.end(); }

std::optional<std::string> RegistryTree::SpelledKeyPath(std::string_view key) const {
  const auto it = Find(key);
  if (it == keys_.end()) return std::nullopt;
  return it->first;
}

std::vector<std::string> RegistryTree::SubKeyNames(std::string_view key) const {
  std::vector<std::string> names;
  const auto parent = Find(key);
  if (parent == keys_.end()) return names;
  const size_t skip = parent->first.empty() ? 0 : parent->first.size() + 1;
  for (auto it = std::next(parent); it != keys_.end() && IsBelow(it->first, parent->first); ++it) {
    const std::string_view rest = std::string_view(it->first).substr(skip);
    if (rest.find('\\') == std::string_view::npos) names.emplace_back(rest);
  }
  return names;
}

std::vector<std::string> RegistryTree::ValueNames(std::string_view key) const {
  std::vector<std::string> names;
  const auto it = Find(key);
  if (it == keys_.end()) return names;
  for (const auto& [name, value] : it->second) names.push_back(name);
  return names;
}

std::vector<std::string> RegistryTree::KeyPaths() const {
  std::vector<std::string> paths;
  paths.reserve(keys_.size());
  for (const auto& [path, values] : keys_) paths.push_back(path);
  return paths;
}

const RegistryValue* RegistryTree::FindValue(std::string_view key, std::string_view name) const {
  const auto it = Find(key);
  if (it == keys_.end()) return nullptr;
  const auto value = it->second.find(name);
  return value == it->second.end() ? nullptr : &value->second;
}

std::optional<std::string> RegistryTree::GetValue(std::string_view key,
                                                  std::string_view name) const {
  const RegistryValue* value = FindValue(key, name);
  if (value == nullptr) return std::nullopt;
  if (value->kind == RegistryValue::Kind::String) return value->data;
  if (auto expandable = DecodeExpandableString(value->data)) return expandable;
  throw Error("Invalid data type for '" + std::string(name) + "'");
}

RegistryTree::Values& RegistryTree::CreateAndGet(std::string_view key) {
  key = WithoutLeadingSeparator(key);
  if (const auto it = keys_.find(key); it != keys_.end()) return it->second;
  std::vector<std::string_view> names;
  for (size_t start = 0;;) {
    const size_t end = std::min(key.find('\\', start), key.size());
    names.push_back(key.substr(start, end - start));
    CheckKeyName(names.back());
    if (end == key.size()) break;
    start = end + 1;
  }
  // Create each missing ancestor in turn; existing ones keep their spelling.
  auto it = keys_.begin();
  std::string path;
  for (const std::string_view name : names) {
    const std::string candidate =
        path.empty() ? std::string(name) : path + "\\" + std::string(name);
    it = keys_.find(candidate);
    if (it == keys_.end()) it = keys_.emplace(candidate, Values{}).first;
    path = it->first;
  }
  return it->second;
}

void RegistryTree::CreateKey(std::string_view key) { CreateAndGet(key); }

void RegistryTree::SetValue(std::string_view key, std::string_view name, std::string_view text) {
  CheckStringData(name, text);
  SetTypedValue(key, name, RegistryValue{RegistryValue::Kind::String, std::string(text)});
}

void RegistryTree::SetTypedValue(std::string_view key, std::string_view name, RegistryValue value) {
  CheckValueName(name);
  if (value.kind == RegistryValue::Kind::String) CheckStringData(name, value.data);
  Values& values = CreateAndGet(key);
  const auto it = values.find(name);
  if (it != values.end())
    it->second = std::move(value);
  else
    values.emplace(std::string(name), std::move(value));
}

bool RegistryTree::DeleteValue(std::string_view key, std::string_view name) {
  const auto it = keys_.find(WithoutLeadingSeparator(key));
  if (it == keys_.end()) return false;
  const auto value = it->second.find(name);
  if (value == it->second.end()) return false;
  it->second.erase(value);
  return true;
}

DeleteKeyResult RegistryTree::DeleteKey(std::string_view key) {
  key = WithoutLeadingSeparator(key);
  if (key.empty()) throw Error("The root registry key cannot be deleted");
  const auto it = keys_.find(key);
  if (it == keys_.end()) return DeleteKeyResult::NotFound;
  const auto next = std::next(it);
  if (next != keys_.end() && IsBelow(next->first, it->first)) return DeleteKeyResult::HasSubKeys;
  keys_.erase(it);
  return DeleteKeyResult::Deleted;
}

}  // namespace tavo
