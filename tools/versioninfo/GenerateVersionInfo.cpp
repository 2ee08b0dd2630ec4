// Build-time generator of a module's version resource: reads the version definition that
// cmake/VersionInfo.cmake writes and emits a C++ source that places the VS_VERSIONINFO block in
// the module's ".versioninfo" ELF section, where the version reader finds it.
//
//   tavo_versioninfo_gen DEFINITION OUTPUT
//
// DEFINITION is UTF-8 text, one "Name=Value" per line:
//   Symbol=NAME                the C name of the generated array
//   FileVersion=a.b.c.d        the numeric file version
//   ProductVersion=a.b.c.d     the numeric product version
//   FileType=N                 VFT_APP 1, VFT_DLL 2, ...
//   StringTable=080404B0       language and code page of the string table
//   Translation=0x0804,0x04B0  the VarFileInfo translation pair
//   String.KEY=TEXT            a string of the table (TEXT may be empty), in order
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
    if (i + n > s.size()) throw std::runtime_error("invalid UTF-8 in \"" + s + "\"");
    char32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += n;
  }
  return out;
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PadTo4(Bytes& b) {
  while (b.size() % 4 != 0) b.push_back(0);
}

// One structure of the block: header, key, Value, children.
struct Node {
  std::string key;
  bool isText = true;
  Bytes value;
  uint32_t valueLength = 0;  // UTF-16 units for text, bytes otherwise
  std::vector<Node> children;

  Bytes Encode() const {
    Bytes b(6, 0);
    for (char16_t c : Utf8ToUtf16(key)) Put16(b, c);
    Put16(b, 0);
    PadTo4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Node& child : children) {
      PadTo4(b);
      const Bytes c = child.Encode();
      b.insert(b.end(), c.begin(), c.end());
    }
    if (b.size() > 0xFFFF) throw std::runtime_error("version block larger than 64 KiB");
    b[0] = static_cast<unsigned char>(b.size());
    b[1] = static_cast<unsigned char>(b.size() >> 8);
    b[2] = static_cast<unsigned char>(valueLength);
    b[3] = static_cast<unsigned char>(valueLength >> 8);
    b[4] = isText ? 1 : 0;
    return b;
  }
};

Node TextNode(const std::string& key, const std::string& text) {
  Node n{key, true, {}, 0, {}};
  const std::u16string units = Utf8ToUtf16(text);
  for (char16_t c : units) Put16(n.value, c);
  Put16(n.value, 0);
  n.valueLength = static_cast<uint32_t>(units.size() + 1);
  return n;
}

// "a.b.c.d" as the two 32-bit halves of a fixed version record.
std::pair<uint32_t, uint32_t> ParseVersion(const std::string& text) {
  std::vector<uint32_t> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, '.')) {
    const unsigned long v = std::stoul(part);
    if (v > 0xFFFF) throw std::runtime_error("version part out of range in " + text);
    parts.push_back(static_cast<uint32_t>(v));
  }
  if (parts.size() != 4) throw std::runtime_error("version needs four parts: " + text);
  return {(parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]};
}

struct Definition {
  std::map<std::string, std::string> fields;
  std::vector<std::pair<std::string, std::string>> strings;

  const std::string& Field(const std::string& name) const {
    const auto it = fields.find(name);
    if (it == fields.end()) throw std::runtime_error("definition lacks " + name);
    return it->second;
  }
};

Definition ReadDefinition(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  Definition def;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) throw std::runtime_error("bad definition line: " + line);
    const std::string name = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (name.rfind("String.", 0) == 0) {
      def.strings.emplace_back(name.substr(7), value);
    } else {
      def.fields[name] = value;
    }
  }
  return def;
}

Bytes BuildBlock(const Definition& def) {
  const auto [fileMs, fileLs] = ParseVersion(def.Field("FileVersion"));
  const auto [productMs, productLs] = ParseVersion(def.Field("ProductVersion"));
  Node root{"VS_VERSION_INFO", false, {}, 52, {}};
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, fileMs, fileLs, productMs, productLs, 0x3Fu, 0u, 0u,
                     static_cast<uint32_t>(std::stoul(def.Field("FileType"))), 0u, 0u, 0u}) {
    Put32(root.value, v);
  }

  Node table{def.Field("StringTable"), true, {}, 0, {}};
  for (const auto& [key, text] : def.strings) table.children.push_back(TextNode(key, text));
  root.children.push_back(Node{"StringFileInfo", true, {}, 0, {table}});

  Node translation{"Translation", false, {}, 4, {}};
  std::stringstream pair(def.Field("Translation"));
  std::string half;
  while (std::getline(pair, half, ',')) Put16(translation.value, std::stoul(half, nullptr, 0));
  if (translation.value.size() != 4) throw std::runtime_error("Translation needs two numbers");
  root.children.push_back(Node{"VarFileInfo", true, {}, 0, {translation}});
  return root.Encode();
}

void WriteSource(const std::string& path, const std::string& symbol, const Bytes& block) {
  std::ostringstream out;
  out << "// Generated by tavo_versioninfo_gen from the version definition; do not edit.\n"
      << "extern \"C\" __attribute__((used, section(\".versioninfo\"), aligned(4),\n"
      << "                            visibility(\"hidden\"))) const unsigned char " << symbol
      << "[] = {";
  for (size_t i = 0; i < block.size(); ++i) {
    out << (i % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(block[i]) << ",";
  }
  out << "\n};\n";
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << out.str();
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tavo_versioninfo_gen DEFINITION OUTPUT\n";
    return 2;
  }
  try {
    const Definition def = ReadDefinition(argv[1]);
    WriteSource(argv[2], def.Field("Symbol"), BuildBlock(def));
  } catch (const std::exception& e) {
    std::cerr << "tavo_versioninfo_gen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
