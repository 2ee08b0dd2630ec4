// The bridge: one listening socket per loopback address, answering the plain HTTP routes
// itself and handing WebSocket upgrades at /automation, once their Host and Origin pass, to a
// WebSocket server; each page connection gets a session with its own worker.
#pragma once

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
#include "bridge/OriginPolicy.h"
#include "bridge/PageSession.h"

namespace tavo::bridge {

inline constexpr int kMaxConnections = 32;

enum class PromptAnswer { AllowOnce, AlwaysAllow, Block, Refused };

struct BridgeConfig {
  uint16_t port = 17370;
  OriginPolicy policy;
  std::filesystem::path filesRoot;     // one folder per origin below it
  std::filesystem::path clientScript;  // tavo.js
  std::filesystem::path designerDir;   // served at /designer/ when it exists
  std::string workerProgram;           // started as PROGRAM --worker
  std::function<bool()> isRegistered;  // for /status
  // Asks a person about an origin neither allowed nor blocked; empty: such origins are refused.
  std::function<PromptAnswer(const QString& origin)> prompt;
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

 private:
  void OnNewTcp(QTcpServer* server);
  void OnHttpData(QTcpSocket* socket);
  void Route(QTcpSocket* socket, const HttpRequest& request);
  void Upgrade(QTcpSocket* socket, const HttpRequest& request);
  void OnWebSocket();
  void ServeFile(QTcpSocket* socket, const HttpRequest& request, const std::filesystem::path& file,
                 const QByteArray& extraHeaders);
  void Reply(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
             const QByteArray& extraHeaders = {}, bool headOnly = false);
  OriginDecision Decide(const std::string& origin) const;
  bool OriginAllowed(const QByteArray& origin) const;
  int OpenConnections();
  void Log(const QString& text) const;

  BridgeConfig config_;
  uint16_t port_ = 0;
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
};

}  // namespace tavo::bridge
