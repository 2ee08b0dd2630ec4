// Who may talk to the bridge: the Host header that names this bridge (DNS rebinding), origins
// as browsers send them, and the folder name each origin's files live in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavo::bridge {

// Whether a Host header is 127.0.0.1:PORT, [::1]:PORT or localhost:PORT (letter case ignored).
bool IsBridgeHost(std::string_view host, uint16_t port);

// Whether `origin` is one of the bridge's own, the origin of the pages it serves itself
// (/designer/): http://127.0.0.1:PORT, http://localhost:PORT or http://[::1]:PORT.
bool IsBridgeOrigin(std::string_view origin, uint16_t port);

// The origin as browsers send it: scheme://host[:port], lower case, the scheme's default port
// left out. Nothing for a text of any other form, for "null" and for an empty text.
std::optional<std::string> NormalizeOrigin(std::string_view origin);

// The origin's folder name, scheme_host_port, every byte of the parts other than A-Z a-z 0-9 .
// - percent-encoded, e.g. "https_erp.example.com_443", "http_%5B%3A%3A1%5D_9". `origin` is
// normalized.
std::string OriginFolderName(std::string_view origin);

}  // namespace tavo::bridge
