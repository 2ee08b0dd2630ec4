#include "platform/http/HttpDownload.h"

#include <curl/curl.h>

#include <sys/socket.h>

#include <cstdlib>
#include <system_error>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/core/TempFile.h"
#include "platform/http/CurlHandle.h"
#include "platform/http/LocalAddress.h"

namespace tavo::http {
namespace {

// Give up on a server that accepts no connection within this time, or that sends less than
// one byte per second for a minute: a stalled server must not hang the host forever.
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kLowSpeedBytesPerSecond = 1;
constexpr long kLowSpeedSeconds = 60;

// E_ACCESSDENIED: what the page's folder rules answer too.
constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005);

struct Transfer {
  CURL* curl;
  TempFile* file;
  bool refusedStatus = false;
  bool writeFailed = false;
  std::string refusedAddress;  // a local address the host does not let downloads reach
};

long ResponseCode(CURL* curl) {
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

bool IsSuccess(long status) { return status >= 200 && status < 300; }

// Takes body bytes as they arrive. The body of a response that is not 2xx is not wanted:
// returning short ends the transfer.
size_t TakeBody(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  if (!IsSuccess(ResponseCode(transfer.curl))) {
    transfer.refusedStatus = true;
    return 0;
  }
  if (!transfer.file->Write(data, size * count)) {
    transfer.writeFailed = true;
    return 0;
  }
  return size * count;
}

// Every connection libcurl makes passes here with the address it resolved, so a name that
// resolves to a local address is refused as the address itself would be.
curl_socket_t OpenSocket(void* context, curlsocktype, curl_sockaddr* address) {
  auto& transfer = *static_cast<Transfer*>(context);
  if (const auto local = LocalAddress(&address->addr)) {
    transfer.refusedAddress = *local;
    return CURL_SOCKET_BAD;
  }
  return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

bool RefusesLocalAddresses() {
  const char* value = std::getenv(kRefuseLocalDownloads);
  return value != nullptr && *value != '\0';
}

template <typename Value>
void Set(CURL* curl, CURLoption option, Value value) {
  const CURLcode result = curl_easy_setopt(curl, option, value);
  if (result != CURLE_OK) {
    throw Error(std::string("Cannot set up the HTTP client: ") + curl_easy_strerror(result));
  }
}

}  // namespace

void DownloadToFile(const std::string& ansiUrl, const std::string& ansiTargetPath) {
  const std::string url = codepage::AnsiToUtf8(ansiUrl);
  if (url.find('\0') != std::string::npos) throw Error("Invalid URL " + ansiUrl);
  TempFile file(codepage::AnsiToUtf8(ansiTargetPath), ansiTargetPath);
  CurlHandle curl;
  Transfer transfer{curl.get(), &file, false, false, {}};
  char curlMessage[CURL_ERROR_SIZE] = "";

  Set(curl.get(), CURLOPT_URL, url.c_str());
  Set(curl.get(), CURLOPT_HTTPGET, 1L);
  Set(curl.get(), CURLOPT_NOSIGNAL, 1L);
  Set(curl.get(), CURLOPT_FOLLOWLOCATION, 0L);
  // Only the web's own protocols: a page must not read local files or reach other services
  // through a URL it passes in.
  Set(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
  Set(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  Set(curl.get(), CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  Set(curl.get(), CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
  Set(curl.get(), CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
  Set(curl.get(), CURLOPT_ERRORBUFFER, curlMessage);
  Set(curl.get(), CURLOPT_WRITEFUNCTION, &TakeBody);
  Set(curl.get(), CURLOPT_WRITEDATA, &transfer);
  if (RefusesLocalAddresses()) {
    Set(curl.get(), CURLOPT_OPENSOCKETFUNCTION, &OpenSocket);
    Set(curl.get(), CURLOPT_OPENSOCKETDATA, &transfer);
  }

  const CURLcode result = curl_easy_perform(curl.get());
  if (!transfer.refusedAddress.empty()) {
    throw OleError("Downloads may not reach the address " + transfer.refusedAddress +
                       " (loopback, link-local and unspecified addresses are refused): " + ansiUrl,
                   kAccessDenied);
  }
  const long status = ResponseCode(curl.get());
  if (transfer.refusedStatus || (result == CURLE_OK && !IsSuccess(status))) {
    throw Error("HTTP status " + std::to_string(status) + " for " + ansiUrl);
  }
  if (transfer.writeFailed) {
    throw Error("Cannot write the file " + ansiTargetPath + ": " +
                std::error_code(file.WriteError(), std::generic_category()).message());
  }
  if (result != CURLE_OK) {
    throw Error("Download of " + ansiUrl +
                " failed: " + (curlMessage[0] ? curlMessage : curl_easy_strerror(result)));
  }
  file.ReplaceTarget();
}

}  // namespace tavo::http
