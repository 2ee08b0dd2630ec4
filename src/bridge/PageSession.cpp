#include "bridge/PageSession.h"

#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "bridge/JsonRpc.h"
#include "bridge/WorkerProcess.h"

namespace tavo::bridge {
namespace {

// RPC_E_DISCONNECTED: the object's server process has gone.
constexpr int32_t kWorkerEnded = static_cast<int32_t>(0x80010108);
constexpr int32_t kFailed = static_cast<int32_t>(0x80004005);  // E_FAIL

QJsonValue TavoHello(const QString& origin) {
  return QJsonObject{
      {"product", "tavo"}, {"version", TAVO_BRIDGE_VERSION}, {"protocol", 1}, {"origin", origin}};
}

// {"png","width","height"} of a PNG in Base64, its size read from the header; nothing when
// the text is no PNG.
std::optional<QJsonObject> PictureAnswer(const QString& base64) {
  const QByteArray head = QByteArray::fromBase64(base64.left(32).toLatin1());
  if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
    return std::nullopt;
  auto big = [&](int at) {
    return (quint32(quint8(head[at])) << 24) | (quint32(quint8(head[at + 1])) << 16) |
           (quint32(quint8(head[at + 2])) << 8) | quint32(quint8(head[at + 3]));
  };
  return QJsonObject{{"png", base64}, {"width", qint64(big(16))}, {"height", qint64(big(20))}};
}

}  // namespace

PageSession::PageSession(QWebSocket* socket, QString origin, const std::filesystem::path& folder,
                         const std::string& workerProgram, SessionLimits limits)
    : socket_(socket), origin_(std::move(origin)), folder_(folder), limits_(limits) {
  socket_->setParent(nullptr);
  socket_->setMaxAllowedIncomingMessageSize(64 * 1024 * 1024);
  socket_->setMaxAllowedIncomingFrameSize(64 * 1024 * 1024);
  connect(socket_.get(), &QWebSocket::textMessageReceived, this, &PageSession::OnText);
  connect(socket_.get(), &QWebSocket::binaryMessageReceived, this, [this] { OnBinary(); });
  connect(socket_.get(), &QWebSocket::pong, this, [this] { sincePong_.restart(); });
  connect(socket_.get(), &QWebSocket::disconnected, this, [this] {
    if (socket_->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
      Log("a message over 64 MiB; connection closed");
    worker_.abort();
    if (onEnded) onEnded();
  });

  try {
    const StartedWorker started = StartWorker(workerProgram, folder_.Path());
    workerPid_ = started.pid;
    worker_.setSocketDescriptor(started.socket);
  } catch (const std::exception& error) {
    Log(QString::fromStdString(error.what()));
    workerGone_ = true;
  }
  connect(&worker_, &QLocalSocket::readyRead, this, &PageSession::OnWorkerData);
  connect(&worker_, &QLocalSocket::disconnected, this, &PageSession::OnWorkerEnded);

  sincePong_.start();
  pingTimer_.setInterval(limits_.pingIntervalMs);
  connect(&pingTimer_, &QTimer::timeout, this, &PageSession::OnPingTimer);
  pingTimer_.start();
}

PageSession::~PageSession() {
  // The worker ends when its end of the pair closes; one that hangs is ended here.
  worker_.abort();
  if (workerPid_ > 0 && !workerGone_) ::kill(workerPid_, SIGTERM);
}

void PageSession::Log(const QString& text) const {
  std::fprintf(stderr, "tavobridge: %s: %s\n", qPrintable(origin_), qPrintable(text));
}

void PageSession::Answer(const QByteArray& message) {
  socket_->sendTextMessage(QString::fromUtf8(message));
}

void PageSession::OnBinary() {
  Log("a binary frame; connection closed");
  socket_->close(QWebSocketProtocol::CloseCodeDatatypeNotSupported,
                 "Binary frames are not accepted");
}

void PageSession::OnPingTimer() {
  if (sincePong_.elapsed() > limits_.pingTimeoutMs) {
    Log("no answer to pings; connection closed");
    socket_->close(QWebSocketProtocol::CloseCodeGoingAway, "No answer to pings");
    return;
  }
  socket_->ping();
}

void PageSession::OnText(const QString& text) {
  auto parsed = rpc::ParseRequest(text.toUtf8());
  if (auto* failure = std::get_if<rpc::Failure>(&parsed)) {
    Log(failure->message);
    Answer(rpc::ErrorMessage(failure->id, failure->code, failure->message));
    return;
  }
  const rpc::Request& request = std::get<rpc::Request>(parsed);
  auto reject = [&](int code, const QString& message) {
    Log(request.method + ": " + message);
    if (!request.notification) Answer(rpc::ErrorMessage(request.id, code, message));
  };
  if (request.method.compare("tavo.hello", Qt::CaseInsensitive) == 0) {
    if (!request.notification) Answer(rpc::ResultMessage(request.id, TavoHello(origin_)));
    return;
  }
  const MethodSpec* method = FindMethodSpec(request.method);
  if (method == nullptr) return reject(rpc::kMethodNotFound, "Method not found: " + request.method);
  auto checked = CheckArguments(*method, request.params);
  if (auto* problem = std::get_if<QString>(&checked)) return reject(rpc::kInvalidParams, *problem);
  QJsonArray args = std::get<QJsonArray>(checked);
  try {
    for (qsizetype i = 0; i < args.size(); ++i) {
      const ArgRole role = method->args[static_cast<size_t>(i)].role;
      if (role != ArgRole::Plain)
        args[i] = QString::fromStdString(folder_.Confine(args[i].toString().toStdString(), role));
    }
  } catch (const AccessDenied& denied) {
    const QString message = QString::fromStdString(denied.what());
    Log(request.method + ": " + message);
    if (!request.notification) Answer(rpc::StatusMessage(request.id, kAccessDenied, message));
    return;
  }
  if (pending_.size() >= kMaxPendingCalls)
    return reject(rpc::kTooManyPending,
                  "Too many pending calls: at most 64 may wait for an answer");
  if (workerGone_) {
    if (!request.notification)
      Answer(rpc::StatusMessage(request.id, kWorkerEnded,
                                "The page's worker process has ended; reconnect to go on"));
    return;
  }
  const qint64 seq = nextSeq_++;
  pending_.insert(seq, Pending{request.id, !request.notification, method->result});
  const QJsonObject call{
      {"seq", seq},
      {"method", QLatin1String(method->dispatchName.data(), method->dispatchName.size())},
      {"args", args}};
  worker_.write(QJsonDocument(call).toJson(QJsonDocument::Compact) + '\n');
}

void PageSession::OnWorkerData() {
  workerBuffer_ += worker_.readAll();
  qsizetype start = 0;
  for (qsizetype end; (end = workerBuffer_.indexOf('\n', start)) >= 0; start = end + 1) {
    const QJsonObject reply =
        QJsonDocument::fromJson(workerBuffer_.mid(start, end - start)).object();
    const auto found = pending_.find(reply.value("seq").toInteger(-1));
    if (found == pending_.end()) continue;
    const Pending pending = *found;
    pending_.erase(found);
    if (pending.answer) Deliver(pending, reply);
  }
  workerBuffer_.remove(0, start);
}

void PageSession::Deliver(const Pending& pending, const QJsonObject& reply) {
  if (reply.contains("error")) {
    const QJsonObject error = reply.value("error").toObject();
    Answer(rpc::StatusMessage(pending.id, error.value("code").toInt(kFailed),
                              error.value("message").toString()));
    return;
  }
  const QJsonValue result = reply.value("result");
  switch (pending.shape) {
    case ResultShape::Value:
      return Answer(rpc::ResultMessage(pending.id, result));
    case ResultShape::Picture:
      if (const auto picture = PictureAnswer(result.toString()))
        return Answer(rpc::ResultMessage(pending.id, *picture));
      break;
    case ResultShape::Json: {
      const QJsonDocument document = QJsonDocument::fromJson(result.toString().toUtf8());
      if (document.isObject()) return Answer(rpc::ResultMessage(pending.id, document.object()));
      if (document.isArray()) return Answer(rpc::ResultMessage(pending.id, document.array()));
      break;
    }
  }
  Answer(rpc::StatusMessage(pending.id, kFailed, "The control's answer has not the expected form"));
}

void PageSession::OnWorkerEnded() {
  if (workerGone_) return;
  workerGone_ = true;
  if (socket_->state() != QAbstractSocket::ConnectedState) return;
  if (!pending_.isEmpty())
    Log(QString("worker ended with %1 calls unanswered").arg(pending_.size()));
  for (const Pending& pending : pending_) {
    if (pending.answer)
      Answer(rpc::StatusMessage(pending.id, kWorkerEnded,
                                "The page's worker process ended before it answered"));
  }
  pending_.clear();
}

}  // namespace tavo::bridge
