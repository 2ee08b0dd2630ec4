// The component registry's HKEY_CLASSES_ROOT as a value in memory: a tree of keys, each with
// named values. Key paths are UTF-8 texts with "\" between the key names, relative to
// HKEY_CLASSES_ROOT ("CLSID\{...}\InprocServer32"); a leading "\" is ignored, and "" is the
// root itself. Key and value names compare without regard to ASCII letter case and keep the
// spelling they were created with.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

// One value. The system writes only strings; values of other types that someone else wrote
// (dword:, hex:, hex(n):) are kept as their text in the file, so rewriting the file loses
// nothing.
struct RegistryValue {
  enum class Kind { String, Other };
  Kind kind = Kind::String;
  // String: the text. Other: the typed value as the file writes it, e.g. "dword:00000001".
  std::string data;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// The outcome of deleting a key. As with the system's registry, a key that still has subkeys
// is not deleted: callers delete the children first.
enum class DeleteKeyResult { Deleted, NotFound, HasSubKeys };

// Orders names without regard to ASCII letter case.
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// Orders key paths name by name without regard to ASCII letter case, so that a key's
// descendants follow it directly.
struct KeyPathLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

class RegistryTree {
 public:
  RegistryTree();

  bool KeyExists(std::string_view key) const;
  // The key's path as stored, in the spelling its names were created with.
  std::optional<std::string> SpelledKeyPath(std::string_view key) const;
  std::vector<std::string> SubKeyNames(std::string_view key) const;
  std::vector<std::string> ValueNames(std::string_view key) const;
  // All key paths, each parent before its children; the root ("") first.
  std::vector<std::string> KeyPaths() const;

  // name "" is the key's default value. Null when the key or the value is missing.
  const RegistryValue* FindValue(std::string_view key, std::string_view name) const;
  // A string value (an expandable string reads as its text). Empty when the key or the value
  // is missing; a value of another type is an Error "Invalid data type for 'NAME'".
  std::optional<std::string> GetValue(std::string_view key, std::string_view name) const;

  // Creates the key and any missing ancestors; an existing key keeps its spelling.
  void CreateKey(std::string_view key);
  // Creates the key when missing. Text with a line break or a zero byte, or that is not UTF-8,
  // is an Error: the file could not hold it.
  void SetValue(std::string_view key, std::string_view name, std::string_view text);
  void SetTypedValue(std::string_view key, std::string_view name, RegistryValue value);
  // False when the key or the value is missing.
  bool DeleteValue(std::string_view key, std::string_view name);
  // Deletes one key with its values, never its subkeys. The root cannot be deleted (Error).
  DeleteKeyResult DeleteKey(std::string_view key);

  friend bool operator==(const RegistryTree&, const RegistryTree&) = default;

 private:
  using Values = std::map<std::string, RegistryValue, NoCaseLess>;
  using Keys = std::map<std::string, Values, KeyPathLess>;

  Keys::const_iterator Find(std::string_view key) const;
  Values& CreateAndGet(std::string_view key);

  Keys keys_;
};

}  // namespace tavo
