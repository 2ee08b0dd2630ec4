#include "platform/http/LocalAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace tavo::http {
namespace {

bool IsLocalIpv4(uint32_t hostOrder) {
  const uint32_t first = hostOrder >> 24;
  return first == 127 || first == 0 || (hostOrder >> 16) == 0xA9FE;  // 169.254/16
}

}  // namespace

std::optional<std::string> LocalAddress(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    if (!IsLocalIpv4(ntohl(v4->sin_addr.s_addr))) return std::nullopt;
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    return text;
  }
  if (address->sa_family != AF_INET6) return std::nullopt;
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
  const uint8_t* bytes = v6->sin6_addr.s6_addr;
  const bool zeroHead = std::all_of(bytes, bytes + 10, [](uint8_t b) { return b == 0; });
  const bool mapped = zeroHead && bytes[10] == 0xff && bytes[11] == 0xff;
  const bool compatible = zeroHead && bytes[10] == 0 && bytes[11] == 0;  // ::a.b.c.d
  uint32_t embedded = 0;
  std::memcpy(&embedded, bytes + 12, 4);
  embedded = ntohl(embedded);
  const bool linkLocal = bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80;
  // :: and ::1 are the compatible forms of 0.0.0.0 and 0.0.0.1.
  const bool local = linkLocal || ((mapped || compatible) && IsLocalIpv4(embedded));
  if (!local) return std::nullopt;
  inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
  return text;
}

}  // namespace tavo::http
