#include "BridgeStatus.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "Automation.h"
#include "Translation.h"
#include "platform/core/FileDescriptor.h"

namespace tavo::tool {
namespace {

constexpr size_t kMaxAnswer = 64 * 1024;

// The whole answer to GET /status, or a ToolFailure saying why there is none.
std::string AskStatus(const std::string& where, uint16_t port) {
  FileDescriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) throw ToolFailure(1, Tr("cannot make a socket: %1", {std::strerror(errno)}));
  const timeval timeout{10, 0};
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw ToolFailure(1, Tr("no bridge answers on %1: %2", {where, std::strerror(errno)}));
  const std::string request =
      "GET /status HTTP/1.1\r\nHost: " + where + "\r\nConnection: close\r\n\r\n";
  if (::send(fd.Get(), request.data(), request.size(), MSG_NOSIGNAL) < 0)
    throw ToolFailure(1, Tr("cannot ask the bridge on %1: %2", {where, std::strerror(errno)}));
  std::string answer;
  char buffer[4096];
  ssize_t got;
  while (answer.size() < kMaxAnswer && (got = ::recv(fd.Get(), buffer, sizeof buffer, 0)) > 0)
    answer.append(buffer, static_cast<size_t>(got));
  if (answer.empty())
    throw ToolFailure(1, Tr("the bridge on %1 closed the connection without an answer (a bridge "
                            "of another user serves only its own user's processes)",
                            {where}));
  return answer;
}

}  // namespace

int ShowBridge(uint16_t port) {
  const std::string where = "127.0.0.1:" + std::to_string(port);
  const std::string answer = AskStatus(where, port);
  const size_t bodyAt = answer.find("\r\n\r\n");
  const std::string statusLine = answer.substr(0, answer.find("\r\n"));
  const std::string body = bodyAt == std::string::npos ? "" : answer.substr(bodyAt + 4);
  if (statusLine.rfind("HTTP/1.1 200 ", 0) != 0) {
    std::string text = body.substr(0, body.find('\n'));
    throw ToolFailure(1, text.empty()
                             ? Tr("%1 answered %2", {where, statusLine.substr(9)})
                             : Tr("%1 answered %2: %3", {where, statusLine.substr(9), text}));
  }
  const QJsonObject status = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
  if (status.value("product").toString() != "tavo")
    throw ToolFailure(1, Tr("%1 is not the tavo bridge", {where}));
  const QString user = status.value("user").toString();
  const auto yesNo = [&](const char* key) {
    return status.value(QLatin1String(key)).toBool() ? Tr("yes") : Tr("no");
  };
  std::cout << Tr("tavobridge %1 on %2 serves user %3; display: %4; control registered: %5",
                  {status.value("version").toString().toStdString(), where,
                   user.isEmpty() ? Tr("(not said)") : user.toStdString(), yesNo("display"),
                   yesNo("registered")})
            << "\n";
  return 0;
}

}  // namespace tavo::tool
