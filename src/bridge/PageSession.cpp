#include "bridge/PageSession.h"

#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bridge/JsonRpc.h"
#include "bridge/LogText.h"
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

// {"png","width","height","pages"} of a PNG in Base64: its size read from the header, and how
// many pages the record takes from the text chunk "Pages" the control puts right after it (1
// without one); nothing when the text is no PNG.
std::optional<QJsonObject> PictureAnswer(const QString& base64) {
  const QByteArray head = QByteArray::fromBase64(base64.left(128).toLatin1());
  if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
    return std::nullopt;
  auto big = [&](int at) {
    return (quint32(quint8(head[at])) << 24) | (quint32(quint8(head[at + 1])) << 16) |
           (quint32(quint8(head[at + 2])) << 8) | quint32(quint8(head[at + 3]));
  };
  qint64 pages = 1;
  const QByteArray keyword("Pages\0", 6);
  if (head.size() > 41 && head.mid(37, 4) == "tEXt" && head.mid(41, 6) == keyword)
    pages = std::max<qint64>(1, head.mid(47, qsizetype(big(33)) - 6).toLongLong());
  return QJsonObject{
      {"png", base64}, {"width", qint64(big(16))}, {"height", qint64(big(20))}, {"pages", pages}};
}

// A folder of the worker's own for temporary files (a CUPS job's document): the worker may
// write nowhere else outside its page's folder.
std::filesystem::path MakeWorkerTemporary() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "tavo-worker-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make the worker's temporary folder in " + base.string() +
                             ": " + std::strerror(errno));
  return pattern;
}

}  // namespace

PageSession::PageSession(QWebSocket* socket, QString origin, const std::filesystem::path& folder,
                         const std::string& workerProgram, SessionLimits limits)
    : socket_(socket),
      origin_(std::move(origin)),
      folder_(folder),
      folderPrefix_(QString::fromStdString(folder_.Path().string()) + '/'),
      limits_(limits) {
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
    workerTemporary_ = MakeWorkerTemporary();
    const StartedWorker started = StartWorker(workerProgram, folder_.Path(), workerTemporary_);
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
  // Nothing of this half-destroyed session may be called back while its sockets close.
  worker_.disconnect(this);
  socket_->disconnect(this);
  pingTimer_.stop();
  // The worker ends when its end of the pair closes; one that hangs is ended here.
  worker_.abort();
  if (workerPid_ > 0 && !workerGone_) ::kill(workerPid_, SIGTERM);
  socket_->abort();
  std::error_code error;
  if (!workerTemporary_.empty()) std::filesystem::remove_all(workerTemporary_, error);
}

void PageSession::Log(const QString& text) const {
  std::fprintf(stderr, "tavobridge: %s: %s\n", qPrintable(LogText(origin_)),
               qPrintable(LogText(text)));
}

QString PageSession::Relative(const QString& text) const {
  QString relative = text;
  return relative.replace(folderPrefix_, QString());
}

QJsonValue PageSession::Relative(const QJsonValue& value) const {
  if (value.isString()) return Relative(value.toString());
  if (value.isArray()) {
    QJsonArray array;
    for (const QJsonValue& item : value.toArray()) array.append(Relative(item));
    return array;
  }
  if (value.isObject()) {
    QJsonObject object;
    const QJsonObject given = value.toObject();
    for (auto it = given.begin(); it != given.end(); ++it) object.insert(it.key(), Relative(*it));
    return object;
  }
  return value;
}

void PageSession::CloseForQueue(const char* towards) {
  Log(QString("over 64 MiB waiting to be written to the %1; connection closed").arg(towards));
  socket_->close(QWebSocketProtocol::CloseCodeTooMuchData, "Too much data waiting");
}

void PageSession::Answer(const QByteArray& message) {
  if (socket_->bytesToWrite() + message.size() > kMaxQueuedBytes) return CloseForQueue("page");
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
  const QJsonObject call{
      {"seq", seq},
      {"method", QLatin1String(method->dispatchName.data(), method->dispatchName.size())},
      {"args", args}};
  const QByteArray line = QJsonDocument(call).toJson(QJsonDocument::Compact) + '\n';
  if (worker_.bytesToWrite() + line.size() > kMaxQueuedBytes) return CloseForQueue("worker");
  pending_.insert(seq, Pending{request.id, !request.notification, method->result});
  worker_.write(line);
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
                              Relative(error.value("message").toString())));
    return;
  }
  const QJsonValue result = reply.value("result");
  switch (pending.shape) {
    case ResultShape::Value:
      return Answer(rpc::ResultMessage(pending.id, Relative(result)));
    case ResultShape::Picture:
      if (const auto picture = PictureAnswer(result.toString()))
        return Answer(rpc::ResultMessage(pending.id, *picture));
      break;
    case ResultShape::Json: {
      const QJsonDocument document = QJsonDocument::fromJson(result.toString().toUtf8());
      if (document.isObject())
        return Answer(rpc::ResultMessage(pending.id, Relative(document.object())));
      if (document.isArray())
        return Answer(rpc::ResultMessage(pending.id, Relative(document.array())));
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
