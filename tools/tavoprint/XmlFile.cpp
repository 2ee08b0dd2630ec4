#include "XmlFile.h"

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "Translation.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo::tool {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

// The encoding named by the XML declaration at the start of the text, or empty.
std::string DeclaredEncoding(std::string_view bytes) {
  size_t start = bytes.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos || bytes.substr(start, 5) != "<?xml") return {};
  const size_t end = bytes.find("?>", start);
  const std::string_view declaration =
      bytes.substr(start, end == std::string_view::npos ? 200 : end - start);
  const size_t key = declaration.find("encoding");
  if (key == std::string_view::npos) return {};
  const size_t quote = declaration.find_first_of("\"'", key);
  if (quote == std::string_view::npos) return {};
  const size_t close = declaration.find(declaration[quote], quote + 1);
  if (close == std::string_view::npos) return {};
  return std::string(declaration.substr(quote + 1, close - quote - 1));
}

// As browsers do, the Chinese labels decode with the largest of their family.
std::string IconvName(const std::string& label) {
  const std::string name = Lower(label);
  if (name == "gbk" || name == "gb2312" || name == "gb_2312-80" || name == "x-gbk" ||
      name == "cp936" || name == "gb18030") {
    return "GB18030";
  }
  return label;
}

std::u16string Decode(std::string_view bytes, const std::string& encoding) {
  iconv_t cd = iconv_open("UTF-16LE", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) throw Error(Tr("Unknown encoding \"%1\"", {encoding}));
  std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);
  std::u16string out;
  std::vector<char> buffer(64 * 1024);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(reinterpret_cast<const char16_t*>(buffer.data()), (buffer.size() - outLeft) / 2);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      out += u'\uFFFD';  // a byte the encoding does not know
      ++in;
      --inLeft;
    }
  }
  return out;
}

}  // namespace

std::u16string DecodeXmlText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return codepage::Utf8ToWide(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return Decode(bytes.substr(2), "UTF-16LE");
  if (bytes.starts_with("\xFE\xFF")) return Decode(bytes.substr(2), "UTF-16BE");
  const std::string declared = Lower(DeclaredEncoding(bytes));
  // A declaration read as ASCII cannot belong to UTF-16 text without a byte-order mark, whatever
  // it names: such a file is UTF-8, as browsers read it.
  if (declared.empty() || declared == "utf-8" || declared == "utf8" ||
      declared.starts_with("utf-16") || declared == "ucs-2") {
    return codepage::Utf8ToWide(bytes);
  }
  return Decode(bytes, IconvName(declared));
}

std::u16string ReadXmlFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error(Tr("Cannot read the file %1", {path}));
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return DecodeXmlText(bytes.str());
}

}  // namespace tavo::tool
