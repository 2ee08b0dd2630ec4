#include "bridge/policy/OriginRules.h"

#include <algorithm>

namespace tavo::bridge {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  return out;
}

bool IsDigits(std::string_view text) {
  return !text.empty() && text.size() <= 5 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view DefaultPort(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") return "80";
  if (scheme == "https" || scheme == "wss") return "443";
  return "";
}

struct OriginParts {
  std::string scheme, host, port;  // port empty: the scheme's default
};

std::optional<OriginParts> SplitOrigin(std::string_view origin) {
  const size_t separator = origin.find("://");
  if (separator == std::string_view::npos || separator == 0) return std::nullopt;
  OriginParts parts{Lower(origin.substr(0, separator)), Lower(origin.substr(separator + 3)), ""};
  for (char c : parts.scheme) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))
      return std::nullopt;
  }
  std::string& host = parts.host;
  if (host.empty() || host.find_first_of("/?#@ \t\\") != std::string::npos) return std::nullopt;
  // An IPv6 literal keeps its colons inside brackets.
  const size_t bracketEnd = host.starts_with('[') ? host.find(']') : 0;
  if (bracketEnd == std::string::npos) return std::nullopt;
  const size_t colon = host.find(':', bracketEnd);
  if (colon != std::string::npos) {
    parts.port = host.substr(colon + 1);
    host.erase(colon);
    if (!IsDigits(parts.port) || host.empty()) return std::nullopt;
    while (parts.port.size() > 1 && parts.port.front() == '0') parts.port.erase(0, 1);
    if (std::stoi(parts.port) > 65535) return std::nullopt;
    if (parts.port == DefaultPort(parts.scheme)) parts.port.clear();
  }
  if (bracketEnd != 0 && bracketEnd + 1 != host.size()) return std::nullopt;
  return parts;
}

// Every byte other than A-Z a-z 0-9 . - as %XX, "_" included: the separators of a folder name
// stay unambiguous and two origins never share a folder.
std::string PercentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char byte : text) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
        c == '-') {
      out += byte;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

bool IsBridgeHost(std::string_view host, uint16_t port) {
  const std::string text = Lower(host);
  std::string suffix(1, ':');  // appended: GCC 12 at -O3 warns falsely about ":" + text
  suffix += std::to_string(port);
  if (!text.ends_with(suffix)) return false;
  const std::string_view name = std::string_view(text).substr(0, text.size() - suffix.size());
  return name == "127.0.0.1" || name == "[::1]" || name == "localhost";
}

bool IsBridgeOrigin(std::string_view origin, uint16_t port) {
  const std::optional<OriginParts> parts = SplitOrigin(origin);
  if (!parts || parts->scheme != "http") return false;
  return IsBridgeHost(parts->host + ":" + (parts->port.empty() ? "80" : parts->port), port);
}

std::optional<std::string> NormalizeOrigin(std::string_view origin) {
  const std::optional<OriginParts> parts = SplitOrigin(origin);
  if (!parts) return std::nullopt;
  return parts->scheme + "://" + parts->host + (parts->port.empty() ? "" : ":" + parts->port);
}

std::string OriginFolderName(std::string_view origin) {
  const std::optional<OriginParts> parts = SplitOrigin(origin);
  if (!parts) return PercentEncoded(origin);
  const std::string_view port = parts->port.empty() ? DefaultPort(parts->scheme) : parts->port;
  return PercentEncoded(parts->scheme) + "_" + PercentEncoded(parts->host) + "_" +
         PercentEncoded(port);
}

}  // namespace tavo::bridge
