#include "bridge/BridgeServer.h"

#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>
#include <cstdio>

#include "bridge/LogText.h"
#include "bridge/PeerUid.h"
#include "bridge/StatusPage.h"
#include "bridge/policy/OriginRules.h"

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

QByteArray CorsHeaders(const QByteArray& origin) {
  return "Access-Control-Allow-Origin: " + origin + "\r\nVary: Origin\r\n";
}

// The bridge's own pages are never shown inside another site's frame, where a click on Test
// print or Write file could be stolen, and load nothing from elsewhere.
constexpr const char* kStatusPagePolicy =
    "default-src 'none'; img-src 'self'; frame-ancestors 'none'; base-uri 'none'; "
    "form-action 'none'";

// The designer's: its modules and styles, the form picture and the previews it makes (data:
// and blob: addresses), and the bridge's WebSocket under each of its names.
QByteArray DesignerPolicy(uint16_t port) {
  QByteArray sockets;
  for (const char* host : {"127.0.0.1", "localhost", "[::1]"})
    sockets += " ws://" + QByteArray(host) + ":" + QByteArray::number(port);
  return "default-src 'self'; img-src 'self' data: blob:; connect-src 'self'" + sockets +
         "; object-src 'none'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";
}

QByteArray PageHeaders(const QByteArray& policy) {
  return "Content-Security-Policy: " + policy + "\r\nX-Frame-Options: DENY\r\n";
}

}  // namespace

BridgeServer::BridgeServer(BridgeConfig config)
    : config_(std::move(config)),
      user_(::geteuid()),
      webSockets_("tavobridge", QWebSocketServer::NonSecureMode) {
  webSockets_.setMaxPendingConnections(kMaxConnections);
  connect(&webSockets_, &QWebSocketServer::newConnection, this, &BridgeServer::OnWebSocket);
  if (config_.prompt) {
    prompts_ = std::make_unique<PromptQueue>(
        config_.prompt,
        [this](QTcpSocket* socket, const std::string& origin, PromptAnswer answer) {
          OnPromptAnswered(socket, origin, answer);
        },
        config_.promptTimeoutMs);
  }
}

BridgeServer::~BridgeServer() { Shutdown(); }

void BridgeServer::Shutdown() {
  for (auto& listener : listeners_) listener->close();
  if (prompts_) prompts_->Clear();
  for (const Handshake& handshake : handshakes_) {
    if (handshake.socket) handshake.socket->abort();
  }
  handshakes_.clear();
  // Each session ends its worker as it goes.
  sessions_.clear();
}

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
  while (QTcpSocket* socket = server->nextPendingConnection()) Serve(socket);
}

void BridgeServer::ServeConnection(FileDescriptor connection) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(connection.Get())) {
    Log("a handed-over connection that is no TCP connection; closed");
    delete socket;
    return;
  }
  connection.Release();
  Serve(socket);
}

void BridgeServer::Serve(QTcpSocket* socket) {
  // Another user's process may name any Origin it likes: the port is no way into this user's
  // printers and folders.
  const std::optional<uid_t> peer = PeerProcessUid(static_cast<int>(socket->socketDescriptor()));
  if (peer != user_) {
    Log(peer ? QString("a connection from a process of uid %1 refused: this bridge serves uid %2")
                   .arg(*peer)
                   .arg(user_)
             : QString("a connection whose process has gone or cannot be found; closed"));
    socket->abort();
    socket->deleteLater();
    return;
  }
  // Answers are small and each is awaited: send them at once rather than coalesced.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnHttpData(socket); });
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  QPointer<QTcpSocket> guard(socket);
  QTimer::singleShot(kHeadTimeoutMs, this, [guard] {
    if (guard && !guard->property("tavoHandled").toBool()) guard->abort();
  });
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
  if (!IsBridgeHost(request->Header("host").toStdString(), socket->localPort())) {
    Log("a request for host \"" + LogText(QString::fromUtf8(request->Header("host"))) +
        "\"; answered 421");
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

// The bridge's own pages (on the port the connection came in on) need no policy line; a block
// line still keeps them out.
OriginDecision BridgeServer::Decide(const std::string& origin, uint16_t port) const {
  const OriginDecision decision = config_.policy.Decide(origin);
  if (decision == OriginDecision::Unknown && IsBridgeOrigin(origin, port))
    return OriginDecision::Allowed;
  return decision;
}

bool BridgeServer::OriginAllowed(const QByteArray& origin, uint16_t port) const {
  return Decide(origin.toStdString(), port) == OriginDecision::Allowed;
}

void BridgeServer::Route(QTcpSocket* socket, const HttpRequest& request) {
  const QByteArray& method = request.method;
  const QByteArray origin = request.Header("origin");
  const uint16_t port = socket->localPort();
  if (method == "OPTIONS") {
    RefreshPolicy();
    if (!OriginAllowed(origin, port)) {
      Log("a preflight from \"" + LogText(QString::fromUtf8(origin)) + "\", which is not allowed");
      Reply(socket, 403, "text/plain", "Origin not allowed\n");
      return;
    }
    // Only what the routes take: no request header beyond the simple ones is accepted, so
    // none is named, whatever the page asks for.
    const QByteArray headers = CorsHeaders(origin) +
                               "Access-Control-Allow-Methods: GET, HEAD, OPTIONS\r\n"
                               "Access-Control-Allow-Private-Network: true\r\n"
                               "Access-Control-Max-Age: 600\r\n";
    Reply(socket, 204, {}, {}, headers);
    return;
  }
  if (method != "GET" && method != "HEAD") {
    Reply(socket, 405, "text/plain", "Method not allowed\n", "Allow: GET, HEAD, OPTIONS\r\n");
    return;
  }
  const bool head = method == "HEAD";
  const QByteArray cors = OriginAllowed(origin, port) ? CorsHeaders(origin) : QByteArray();
  if (request.path == "/tavo.js") {
    ServeFile(socket, request, config_.clientScript,
              "Access-Control-Allow-Origin: *\r\nCache-Control: no-cache\r\n");
    return;
  }
  if (request.path == "/status") {
    const QJsonObject status{{"product", "tavo"},
                             {"version", TAVO_BRIDGE_VERSION},
                             {"protocol", 1},
                             {"registered", config_.isRegistered ? config_.isRegistered() : false},
                             {"user", QString::fromStdString(config_.userName)},
                             {"display", config_.hasDisplay}};
    Reply(socket, 200, "application/json", QJsonDocument(status).toJson(QJsonDocument::Compact),
          cors + "Cache-Control: no-store\r\n", head);
    return;
  }
  if (request.path == "/") {
    RefreshPolicy();
    const StatusFacts facts{TAVO_BRIDGE_VERSION,
                            port,
                            QString::fromStdString(config_.userName),
                            QString::fromStdString(config_.policy.File().string()),
                            QString::fromStdString(config_.policy.MachineFile().string()),
                            QString::fromStdString(config_.policy.MachineProblem())};
    // The page differs by the language asked for: no cache may hand one reader's to another.
    Reply(socket, 200, "text/html; charset=utf-8", StatusPage(facts, LanguageOf(request)),
          PageHeaders(kStatusPagePolicy) + RememberedLanguageHeader(request) +
              "Cache-Control: no-store\r\nVary: Accept-Language, Cookie\r\n",
          head);
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
      ServeFile(socket, request, file, PageHeaders(DesignerPolicy(port)));
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

void BridgeServer::DropExpiredHandshakes() {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  handshakes_.removeIf([now](const Handshake& handshake) {
    return !handshake.socket || now - handshake.startedMs > kHandshakeTimeoutMs;
  });
}

std::optional<std::pair<int, QString>> BridgeServer::OverLimit(const std::string& origin) {
  DropExpiredHandshakes();
  const QString name = QString::fromStdString(origin);
  int all = static_cast<int>(sessions_.size() + handshakes_.size());
  int ofOrigin = 0;
  for (const auto& session : sessions_) ofOrigin += session->Origin() == name ? 1 : 0;
  for (const Handshake& handshake : handshakes_) ofOrigin += handshake.origin == name ? 1 : 0;
  if (prompts_) {
    all += prompts_->Count();
    ofOrigin += prompts_->CountOf(origin);
  }
  if (all >= kMaxConnections)
    return std::pair(503, QString("Too many connections: at most 32 pages at once"));
  if (ofOrigin >= kMaxConnectionsPerOrigin)
    return std::pair(503, QString("Too many connections: at most 8 pages of one origin at once"));
  return std::nullopt;
}

void BridgeServer::Refuse(QTcpSocket* socket, const QString& origin, int status,
                          const QString& why) {
  Log("a connection from \"" + LogText(origin) + "\" refused: " + why);
  Reply(socket, status, "text/plain", why.toUtf8() + "\n");
}

void BridgeServer::RefreshPolicy() {
  for (const std::string& problem : config_.policy.Refresh()) Log(QString::fromStdString(problem));
}

void BridgeServer::Upgrade(QTcpSocket* socket, const HttpRequest& request) {
  RefreshPolicy();
  const QString origin = QString::fromUtf8(request.Header("origin"));
  const std::optional<std::string> normal = NormalizeOrigin(origin.toStdString());
  if (!normal) return Refuse(socket, origin, 403, "A connection needs the Origin of its page");
  const OriginDecision decision = Decide(*normal, socket->localPort());
  if (decision == OriginDecision::Blocked) return Refuse(socket, origin, 403, "Origin not allowed");
  if (const auto over = OverLimit(*normal))
    return Refuse(socket, origin, over->first, over->second);
  if (decision == OriginDecision::Allowed) return Accept(socket, *normal);
  if (!prompts_) return Refuse(socket, origin, 403, "Origin not allowed");
  if (!prompts_->Add(socket, *normal))
    return Refuse(socket, origin, 503, "Too many pages are waiting for a person's answer");
}

void BridgeServer::OnPromptAnswered(QTcpSocket* socket, const std::string& origin,
                                    PromptAnswer answer) {
  if (answer == PromptAnswer::AlwaysAllow || answer == PromptAnswer::Block) {
    try {
      config_.policy.Remember(origin, answer == PromptAnswer::AlwaysAllow);
    } catch (const PolicyError& error) {
      Log(QString::fromStdString(error.what()));
    }
    // Other pages of that origin waiting behind the question have their answer now.
    // The bridge's own origins never wait for a person: the policy alone decides for the rest.
    prompts_->Revisit([this](const std::string& waiting) -> std::optional<PromptAnswer> {
      switch (config_.policy.Decide(waiting)) {
        case OriginDecision::Allowed:
          return PromptAnswer::AllowOnce;
        case OriginDecision::Blocked:
          return PromptAnswer::NotNow;
        case OriginDecision::Unknown:
          return std::nullopt;
      }
      return std::nullopt;
    });
  }
  if (socket == nullptr || socket->state() != QAbstractSocket::ConnectedState) return;
  const QString shown = QString::fromStdString(origin);
  if (answer != PromptAnswer::AllowOnce && answer != PromptAnswer::AlwaysAllow)
    return Refuse(socket, shown, 403, "Origin not allowed");
  Accept(socket, origin);
}

void BridgeServer::Accept(QTcpSocket* socket, const std::string& origin) {
  disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
  disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  handshakes_.append({socket, QString::fromStdString(origin), QDateTime::currentMSecsSinceEpoch()});
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
      Log("an unexpected WebSocket from \"" + LogText(socket->origin()) + "\"; closed");
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
