// The addresses a download for a web page may not reach: this machine's own services
// (loopback, unspecified) and the link-local ones (a cloud machine's metadata service at
// 169.254.169.254). Private ranges stay reachable: an office's image server is the common case.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>

namespace tavo::http {

// The variable a host sets (to any non-empty text) so that its downloads refuse such
// addresses; the bridge's page workers do.
inline constexpr const char* kRefuseLocalDownloads = "TAVO_DOWNLOAD_REFUSE_LOCAL";

// The address in text when it is loopback (127.0.0.0/8, ::1), link-local (169.254.0.0/16,
// fe80::/10), unspecified (0.0.0.0/8, ::), or one of these in IPv4-mapped or -compatible form;
// else nothing.
std::optional<std::string> LocalAddress(const sockaddr* address);

}  // namespace tavo::http
