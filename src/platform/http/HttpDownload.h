// The HTTP GET of downloadImg: a URL's response body into a local file.
#pragma once

#include <string>

namespace tavo::http {

// Downloads `ansiUrl` into the file `ansiTargetPath` (both ANSI text). Only http and https URLs
// are fetched, redirections are not followed, and any status but 2xx is a failure. The body goes
// to a temporary file beside the target, which replaces the target only once the whole body has
// arrived: the target then holds exactly the body, and a failed download leaves an existing file
// as it was. An existing target keeps its permissions; a new one gets 0666 less the umask.
// When the host has set kRefuseLocalDownloads, a connection to a loopback, link-local or
// unspecified address is refused (an OleError with E_ACCESSDENIED naming the address).
// Throws tavo::Error naming the URL or the path on any failure.
void DownloadToFile(const std::string& ansiUrl, const std::string& ansiTargetPath);

}  // namespace tavo::http
