// The bridge: one listening socket per loopback address (or the connections the system's
// dispatcher hands over), answering the plain HTTP routes itself and handing WebSocket upgrades
// at /automation, once their Host and Origin pass, to a WebSocket server; each page connection
// gets a session with its own worker. It serves its own user's processes only.
#pragma once

#include <sys/types.h>

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocketServer>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "bridge/HttpRequest.h"
#include "bridge/PageSession.h"
#include "bridge/PromptQueue.h"
#include "bridge/policy/OriginPolicy.h"
#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {

// Pages at once, and of one origin among them; upgrades waiting for a person's answer count.
inline constexpr int kMaxConnections = 32;
inline constexpr int kMaxConnectionsPerOrigin = 8;

struct BridgeConfig {
  uint16_t port = 17370;
  OriginPolicy policy;
  std::filesystem::path filesRoot;     // one folder per origin below it
  std::filesystem::path clientScript;  // tavo.js
  std::filesystem::path designerDir;   // served at /designer/ when it exists
  std::string workerProgram;           // started as PROGRAM --worker
  std::function<bool()> isRegistered;  // for /status
  std::string userName;                // whose bridge this is, for /status and the page
  bool hasDisplay = false;             // whether its windows reach a person
  // Asks a person about an origin neither allowed nor blocked; empty: such origins are refused.
  ShowPrompt prompt;
  int promptTimeoutMs = kPromptTimeoutMs;  // then "Not now"
  SessionLimits limits;
};

class BridgeServer : public QObject {
 public:
  explicit BridgeServer(BridgeConfig config);
  ~BridgeServer() override;

  // Listens on 127.0.0.1 and, where the machine has it, ::1. False with `error` set when
  // 127.0.0.1 cannot be had.
  bool Listen(QString& error);
  uint16_t Port() const { return port_; }

  // Serves a TCP connection accepted elsewhere (handed over by the dispatcher) as one of its
  // own; its Host must name the port it came in on.
  void ServeConnection(FileDescriptor connection);

  // Stops listening, takes every question away and closes every connection, ending the
  // workers. The destructor does the same.
  void Shutdown();

 private:
  void OnNewTcp(QTcpServer* server);
  // Every connection, however it came: served only when a process of this bridge's own user
  // made it.
  void Serve(QTcpSocket* socket);
  void OnHttpData(QTcpSocket* socket);
  void Route(QTcpSocket* socket, const HttpRequest& request);
  void Upgrade(QTcpSocket* socket, const HttpRequest& request);
  void OnPromptAnswered(QTcpSocket* socket, const std::string& origin, PromptAnswer answer);
  void Accept(QTcpSocket* socket, const std::string& origin);
  // The status and reason of a refusal when one more connection of `origin` is too many.
  std::optional<std::pair<int, QString>> OverLimit(const std::string& origin);
  void Refuse(QTcpSocket* socket, const QString& origin, int status, const QString& why);
  void OnWebSocket();
  void ServeFile(QTcpSocket* socket, const HttpRequest& request, const std::filesystem::path& file,
                 const QByteArray& extraHeaders);
  void Reply(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
             const QByteArray& extraHeaders = {}, bool headOnly = false);
  // Takes up what an administrator or another bridge changed in the policy files.
  void RefreshPolicy();
  OriginDecision Decide(const std::string& origin, uint16_t port) const;
  bool OriginAllowed(const QByteArray& origin, uint16_t port) const;
  void DropExpiredHandshakes();
  void Log(const QString& text) const;

  BridgeConfig config_;
  uint16_t port_ = 0;  // when it listens itself
  uid_t user_;
  std::vector<std::unique_ptr<QTcpServer>> listeners_;
  QWebSocketServer webSockets_;
  // Upgrades handed to the WebSocket server whose handshake is not yet done, with the origin
  // and whether it was allowed for that connection only.
  struct Handshake {
    QPointer<QTcpSocket> socket;
    QString origin;
    qint64 startedMs;
  };
  QList<Handshake> handshakes_;
  std::vector<std::unique_ptr<PageSession>> sessions_;
  std::unique_ptr<PromptQueue> prompts_;  // when there is a person to ask
};

}  // namespace tavo::bridge
