// Reads a file the way a browser decodes an XML document: a byte-order mark, else the
// encoding its XML declaration names (GBK and GB2312 included), else UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tavo::tool {

std::u16string DecodeXmlText(std::string_view bytes);
// Fails with tavo::Error naming the path when the file cannot be read.
std::u16string ReadXmlFile(const std::string& path);

}  // namespace tavo::tool
