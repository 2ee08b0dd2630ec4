#include "bridge/BridgeServer.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>
#include <cstdio>

#include "bridge/OriginRules.h"

namespace tavo::bridge {
namespace fs = std::filesystem;
namespace {

constexpr int kHeadTimeoutMs = 10000;
constexpr qint64 kHandshakeTimeoutMs = 15000;

QByteArray Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 421:
      return "Misdirected Request";
    case 426:
      return "Upgrade Required";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

QByteArray ContentType(const fs::path& file) {
  const std::string extension = file.extension().string();
  if (extension == ".js" || extension == ".mjs") return "text/javascript; charset=utf-8";
  if (extension == ".html") return "text/html; charset=utf-8";
  if (extension == ".css") return "text/css; charset=utf-8";
  if (extension == ".json") return "application/json";
  if (extension == ".svg") return "image/svg+xml";
  if (extension == ".png") return "image/png";
  return "application/octet-stream";
}

QByteArray HtmlEscaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

QByteArray CorsHeaders(const QByteArray& origin) {
  return "Access-Control-Allow-Origin: " + origin + "\r\nVary: Origin\r\n";
}

}  // namespace

BridgeServer::BridgeServer(BridgeConfig config)
    : config_(std::move(config)), webSockets_("tavobridge", QWebSocketServer::NonSecureMode) {
  webSockets_.setMaxPendingConnections(kMaxConnections);
  connect(&webSockets_, &QWebSocketServer::newConnection, this, &BridgeServer::OnWebSocket);
}

BridgeServer::~BridgeServer() = default;

void BridgeServer::Log(const QString& text) const {
  std::fprintf(stderr, "tavobridge: %s\n", qPrintable(text));
}

bool BridgeServer::Listen(QString& error) {
  auto first = std::make_unique<QTcpServer>();
  if (!first->listen(QHostAddress(QHostAddress::LocalHost), config_.port)) {
    error =
        "cannot listen on 127.0.0.1:" + QString::number(config_.port) + ": " + first->errorString();
    return false;
  }
  port_ = first->serverPort();
  listeners_.push_back(std::move(first));
  // ::1 is taken where the machine has it; its absence is no failure.
  auto second = std::make_unique<QTcpServer>();
  if (second->listen(QHostAddress(QHostAddress::LocalHostIPv6), port_))
    listeners_.push_back(std::move(second));
  for (auto& listener : listeners_) {
    QTcpServer* server = listener.get();
    server->setMaxPendingConnections(256);
    connect(server, &QTcpServer::newConnection, this, [this, server] { OnNewTcp(server); });
  }
  return true;
}

void BridgeServer::OnNewTcp(QTcpServer* server) {
  while (QTcpSocket* socket = server->nextPendingConnection()) {
    // Answers are small and each is awaited: send them at once rather than coalesced.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnHttpData(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(kHeadTimeoutMs, this, [guard] {
      if (guard && !guard->property("tavoHandled").toBool()) guard->abort();
    });
  }
}

void BridgeServer::OnHttpData(QTcpSocket* socket) {
  if (socket->property("tavoHandled").toBool()) return;
  const QByteArray data = socket->peek(kMaxRequestHead + 4);
  qsizetype headLength = 0;
  bool malformed = false;
  const std::optional<HttpRequest> request = ParseRequestHead(data, headLength, malformed);
  if (!request) {
    if (!malformed) return;  // more to come
    socket->setProperty("tavoHandled", true);
    Log("a malformed or oversized request head; answered 400");
    Reply(socket, data.size() > kMaxRequestHead ? 431 : 400, "text/plain", "Bad request\n");
    return;
  }
  socket->setProperty("tavoHandled", true);
  if (!IsBridgeHost(request->Header("host").toStdString(), port_)) {
    Log("a request for host \"" + QString::fromUtf8(request->Header("host")) + "\"; answered 421");
    Reply(socket, 421, "text/plain", "Misdirected request\n");
    return;
  }
  if (request->path == "/automation" && request->IsWebSocketUpgrade()) {
    Upgrade(socket, *request);
    return;
  }
  socket->read(headLength);
  Route(socket, *request);
}

// The bridge's own pages need no policy line; a block line still keeps them out.
OriginDecision BridgeServer::Decide(const std::string& origin) const {
  const OriginDecision decision = config_.policy.Decide(origin);
  if (decision == OriginDecision::Unknown && IsBridgeOrigin(origin, port_))
    return OriginDecision::Allowed;
  return decision;
}

bool BridgeServer::OriginAllowed(const QByteArray& origin) const {
  return Decide(origin.toStdString()) == OriginDecision::Allowed;
}

void BridgeServer::Route(QTcpSocket* socket, const HttpRequest& request) {
  const QByteArray& method = request.method;
  const QByteArray origin = request.Header("origin");
  if (method == "OPTIONS") {
    if (!OriginAllowed(origin)) {
      Log("a preflight from \"" + QString::fromUtf8(origin) + "\", which is not allowed");
      Reply(socket, 403, "text/plain", "Origin not allowed\n");
      return;
    }
    QByteArray headers = CorsHeaders(origin) +
                         "Access-Control-Allow-Methods: GET, HEAD, OPTIONS\r\n"
                         "Access-Control-Allow-Private-Network: true\r\n"
                         "Access-Control-Max-Age: 600\r\n";
    const QByteArray asked = request.Header("access-control-request-headers");
    if (!asked.isEmpty()) headers += "Access-Control-Allow-Headers: " + asked + "\r\n";
    Reply(socket, 204, {}, {}, headers);
    return;
  }
  if (method != "GET" && method != "HEAD") {
    Reply(socket, 405, "text/plain", "Method not allowed\n", "Allow: GET, HEAD, OPTIONS\r\n");
    return;
  }
  const bool head = method == "HEAD";
  const QByteArray cors = OriginAllowed(origin) ? CorsHeaders(origin) : QByteArray();
  if (request.path == "/tavo.js") {
    ServeFile(socket, request, config_.clientScript,
              "Access-Control-Allow-Origin: *\r\nCache-Control: no-cache\r\n");
    return;
  }
  if (request.path == "/status") {
    const QJsonObject status{{"product", "tavo"},
                             {"version", TAVO_BRIDGE_VERSION},
                             {"protocol", 1},
                             {"registered", config_.isRegistered ? config_.isRegistered() : false}};
    Reply(socket, 200, "application/json", QJsonDocument(status).toJson(QJsonDocument::Compact),
          cors + "Cache-Control: no-store\r\n", head);
    return;
  }
  if (request.path == "/") {
    const QByteArray page =
        "<!doctype html><meta charset=\"utf-8\"><title>tavobridge</title>"
        "<h1>tavobridge is running</h1><p>Version " TAVO_BRIDGE_VERSION ", listening on port " +
        QByteArray::number(port_) + ".</p><p>Origin policy: " +
        HtmlEscaped(QString::fromStdString(config_.policy.File().string())) +
        "</p><p>Web pages import <code>/tavo.js</code>.</p>";
    Reply(socket, 200, "text/html; charset=utf-8", page, {}, head);
    return;
  }
  std::error_code error;
  if (request.path.startsWith("/designer/") && fs::is_directory(config_.designerDir, error)) {
    QByteArray relative = QByteArray::fromPercentEncoding(request.path.mid(10));
    if (relative.isEmpty() || relative.endsWith('/')) relative += "index.html";
    const fs::path root = fs::canonical(config_.designerDir, error);
    const fs::path file = fs::weakly_canonical(root / relative.toStdString(), error);
    const auto [rootEnd, fileAt] =
        std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    if (!error && rootEnd == root.end() && fs::is_regular_file(file, error)) {
      ServeFile(socket, request, file, {});
      return;
    }
  }
  Reply(socket, 404, "text/plain", "Not found\n", {}, head);
}

void BridgeServer::ServeFile(QTcpSocket* socket, const HttpRequest& request, const fs::path& file,
                             const QByteArray& extraHeaders) {
  QFile in(QString::fromStdString(file.string()));
  if (!in.open(QIODevice::ReadOnly)) {
    Reply(socket, 404, "text/plain", "Not found\n");
    return;
  }
  Reply(socket, 200, ContentType(file), in.readAll(), extraHeaders, request.method == "HEAD");
}

void BridgeServer::Reply(QTcpSocket* socket, int status, const QByteArray& contentType,
                         const QByteArray& body, const QByteArray& extraHeaders, bool headOnly) {
  QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + " " + Reason(status) + "\r\n";
  if (!contentType.isEmpty()) response += "Content-Type: " + contentType + "\r\n";
  response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
  response += "X-Content-Type-Options: nosniff\r\nConnection: close\r\n" + extraHeaders + "\r\n";
  if (!headOnly) response += body;
  socket->write(response);
  socket->disconnectFromHost();
}

int BridgeServer::OpenConnections() {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  handshakes_.removeIf([now](const Handshake& handshake) {
    return !handshake.socket || now - handshake.startedMs > kHandshakeTimeoutMs;
  });
  return static_cast<int>(sessions_.size() + handshakes_.size());
}

void BridgeServer::Upgrade(QTcpSocket* socket, const HttpRequest& request) {
  const QByteArray originHeader = request.Header("origin");
  const QString origin = QString::fromUtf8(originHeader);
  auto refuse = [&](int status, const QString& why) {
    Log("a connection from \"" + origin + "\" refused: " + why);
    Reply(socket, status, "text/plain", why.toUtf8() + "\n");
  };
  if (OpenConnections() >= kMaxConnections)
    return refuse(503, "Too many connections: at most 32 pages at once");
  const std::optional<std::string> normal = NormalizeOrigin(originHeader.toStdString());
  if (!normal) return refuse(403, "A connection needs the Origin of its page");
  OriginDecision decision = Decide(*normal);
  if (decision == OriginDecision::Unknown) {
    if (!config_.prompt) return refuse(403, "Origin not allowed");
    QPointer<QTcpSocket> guard(socket);
    const PromptAnswer answer = config_.prompt(origin);
    if (answer == PromptAnswer::AlwaysAllow || answer == PromptAnswer::Block) {
      try {
        config_.policy.Remember(*normal, answer == PromptAnswer::AlwaysAllow);
      } catch (const PolicyError& error) {
        Log(QString::fromStdString(error.what()));
      }
    }
    if (!guard || guard->state() != QAbstractSocket::ConnectedState) return;
    if (answer != PromptAnswer::AllowOnce && answer != PromptAnswer::AlwaysAllow)
      return refuse(403, "Origin not allowed");
    if (OpenConnections() >= kMaxConnections)
      return refuse(503, "Too many connections: at most 32 pages at once");
    decision = OriginDecision::Allowed;
  }
  if (decision != OriginDecision::Allowed) return refuse(403, "Origin not allowed");

  disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
  disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  handshakes_.append(
      {socket, QString::fromStdString(*normal), QDateTime::currentMSecsSinceEpoch()});
  webSockets_.handleConnection(socket);
}

void BridgeServer::OnWebSocket() {
  while (QWebSocket* socket = webSockets_.nextPendingConnection()) {
    const std::optional<std::string> normal = NormalizeOrigin(socket->origin().toStdString());
    const QString origin = normal ? QString::fromStdString(*normal) : QString();
    bool expected = false;
    for (qsizetype i = 0; i < handshakes_.size(); ++i) {
      if (handshakes_[i].origin == origin) {
        handshakes_.removeAt(i);
        expected = true;
        break;
      }
    }
    if (!expected) {
      Log("an unexpected WebSocket from \"" + socket->origin() + "\"; closed");
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const fs::path folder = config_.filesRoot / OriginFolderName(origin.toStdString());
    auto session = std::make_unique<PageSession>(socket, origin, folder, config_.workerProgram,
                                                 config_.limits);
    PageSession* raw = session.get();
    raw->onEnded = [this, raw] {
      QTimer::singleShot(0, this, [this, raw] {
        std::erase_if(sessions_, [raw](const auto& owned) { return owned.get() == raw; });
      });
    };
    sessions_.push_back(std::move(session));
  }
}

}  // namespace tavo::bridge
