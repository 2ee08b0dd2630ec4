// One page's connection: its WebSocket, its worker process and its unanswered calls. The
// session checks every request (JSON-RPC form, method, parameters, the page's folder, the
// pending limit) before it reaches the worker, and answers the page under the request's id.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QJsonValue>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>
#include <functional>
#include <memory>

#include "bridge/BridgeMethods.h"
#include "bridge/PageFolder.h"

namespace tavo::bridge {

inline constexpr int kMaxPendingCalls = 64;
// What may wait to be written to a worker, or to a page that does not read its answers.
inline constexpr qint64 kMaxQueuedBytes = qint64{64} << 20;

struct SessionLimits {
  int pingIntervalMs = 15000;
  int pingTimeoutMs = 60000;
};

class PageSession : public QObject {
 public:
  // Takes `socket` over. `workerProgram` is started for the page with its folder as working
  // directory.
  PageSession(QWebSocket* socket, QString origin, const std::filesystem::path& folder,
              const std::string& workerProgram, SessionLimits limits);
  ~PageSession() override;

  const QString& Origin() const { return origin_; }

  // Called once when the page's connection has closed; the owner then deletes the session.
  std::function<void()> onEnded;

 private:
  struct Pending {
    QJsonValue id;
    bool answer;
    ResultShape shape;
  };

  void OnText(const QString& text);
  void OnBinary();
  void OnWorkerData();
  void OnWorkerEnded();
  void OnPingTimer();
  void Answer(const QByteArray& message);
  void Deliver(const Pending& pending, const QJsonObject& reply);
  void Log(const QString& text) const;
  // Paths inside the page's folder as the page names them: relative to it.
  QString Relative(const QString& text) const;
  QJsonValue Relative(const QJsonValue& value) const;
  void CloseForQueue(const char* towards);

  std::unique_ptr<QWebSocket> socket_;
  QString origin_;
  PageFolder folder_;
  QString folderPrefix_;                   // the folder's path and "/"
  std::filesystem::path workerTemporary_;  // the worker's own TMPDIR, removed with the session
  QLocalSocket worker_;
  pid_t workerPid_ = -1;
  bool workerGone_ = false;
  QByteArray workerBuffer_;
  QHash<qint64, Pending> pending_;
  qint64 nextSeq_ = 1;
  SessionLimits limits_;
  QTimer pingTimer_;
  QElapsedTimer sincePong_;
};

}  // namespace tavo::bridge
