#include "platform/registry/RegistryText.h"

#include <optional>

#include "platform/core/Error.h"
#include "platform/registry/RegistryEncoding.h"

namespace tavo {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRoot = "HKEY_CLASSES_ROOT";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return !NoCaseLess{}(a, b) && !NoCaseLess{}(b, a);
}

// Walks the text line by line and reports damage with the current line's number.
class Parser {
 public:
  Parser(std::string_view text, const std::string& fileName) : text_(text), fileName_(fileName) {
    if (text_.substr(0, kUtf8Bom.size()) == kUtf8Bom) text_.remove_prefix(kUtf8Bom.size());
  }

  RegistryTree Parse() {
    if (text_.find_first_not_of(" \t\r\n") == std::string_view::npos) return tree_;
    std::string_view line;
    if (!NextLine(line) || TrimRight(line) != kHeader)
      Fail("the first line is not \"" + std::string(kHeader) + "\"");
    while (NextLine(line)) {
      line = TrimLeft(TrimRight(line));
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[')
        Section(line);
      else if (line.front() == '@' || line.front() == '"')
        Value(line);
      else
        Fail("unexpected text");
    }
    return std::move(tree_);
  }

 private:
  bool NextLine(std::string_view& line) {
    if (position_ >= text_.size()) return false;
    const size_t end = std::min(text_.find('\n', position_), text_.size());
    line = text_.substr(position_, end - position_);
    position_ = end + 1;
    ++lineNumber_;
    return true;
  }

  [[noreturn]] void Fail(const std::string& reason) const {
    throw Error("The registry file '" + fileName_ + "' is damaged at line " +
                std::to_string(lineNumber_) + ": " + reason);
  }

  void Section(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') Fail("a key line must end with \"]\"");
    std::string_view path = line.substr(1, line.size() - 2);
    if (!path.empty() && path.front() == '-') Fail("deleting keys is not supported here");
    if (path.size() < kRoot.size() || !EqualsNoCase(path.substr(0, kRoot.size()), kRoot) ||
        (path.size() > kRoot.size() && path[kRoot.size()] != '\\'))
      Fail("the key is not under " + std::string(kRoot));
    path.remove_prefix(kRoot.size());
    try {
      tree_.CreateKey(path);
    } catch (const Error& e) {
      Fail(e.what());
    }
    key_ = path;
  }

  void Value(std::string_view line) {
    if (!key_) Fail("a value outside of any key");
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      name = Quoted(line);
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=') Fail("\"=\" expected after the value name");
    line = TrimLeft(line.substr(1));
    RegistryValue value;
    if (!line.empty() && line.front() == '"') {
      value.data = Quoted(line);
      if (!TrimLeft(line).empty()) Fail("unexpected text after the value");
    } else {
      value.kind = RegistryValue::Kind::Other;
      value.data = TypedValue(line);
    }
    try {
      tree_.SetTypedValue(*key_, name, std::move(value));
    } catch (const Error& e) {
      Fail(e.what());
    }
  }

  // Reads a quoted string at the front of `line` and leaves `line` after it.
  std::string Quoted(std::string_view& line) {
    std::string text;
    for (size_t i = 1; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"') {
        line.remove_prefix(i + 1);
        return text;
      }
      if (c == '\\') {
        if (i + 1 == line.size() || (line[i + 1] != '\\' && line[i + 1] != '"'))
          Fail("invalid escape sequence in a string");
        text += line[++i];
      } else {
        text += c;
      }
    }
    Fail("unterminated string");
  }

  // A typed value, joined with its continuation lines (a line ending in "\" continues).
  std::string TypedValue(std::string_view line) {
    if (line == "-") Fail("deleting values is not supported here");
    std::string text;
    while (!line.empty() && line.back() == '\\') {
      text.append(line.substr(0, line.size() - 1));
      if (!NextLine(line)) Fail("the value continues past the end of the file");
      line = TrimLeft(TrimRight(line));
    }
    text.append(line);
    if (!IsTypedValueText(text)) Fail("invalid value");
    return text;
  }

  std::string_view text_;
  const std::string& fileName_;
  size_t position_ = 0;
  size_t lineNumber_ = 0;
  std::optional<std::string> key_;
  RegistryTree tree_;
};

}  // namespace

RegistryTree ParseRegistryText(std::string_view text, const std::string& fileName) {
  return Parser(text, fileName).Parse();
}

std::string FormatRegistryText(const RegistryTree& tree) {
  std::string text = std::string(kHeader) + "\n\n";
  for (const std::string& key : tree.KeyPaths()) {
    const std::vector<std::string> names = tree.ValueNames(key);
    if (key.empty() && names.empty()) continue;
    text += "[" + std::string(kRoot) + (key.empty() ? "" : "\\") + key + "]\n";
    for (const std::string& name : names) {
      const RegistryValue& value = *tree.FindValue(key, name);
      text += name.empty() ? "@" : QuoteRegistryString(name);
      text += '=';
      text +=
          value.kind == RegistryValue::Kind::String ? QuoteRegistryString(value.data) : value.data;
      text += '\n';
    }
    text += '\n';
  }
  return text;
}

}  // namespace tavo
