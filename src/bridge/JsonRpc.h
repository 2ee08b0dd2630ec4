// JSON-RPC 2.0 as the bridge speaks it: each text frame is one request; batches are refused.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QString>
#include <variant>

namespace tavo::bridge::rpc {

inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kTooManyPending = -32000;

struct Request {
  QJsonValue id;  // null for a notification, which gets no answer
  bool notification = false;
  QString method;
  QJsonArray params;
};

// A request the bridge cannot take, with the id to answer it under (null when unknown).
struct Failure {
  QJsonValue id;
  int code;
  QString message;
};

std::variant<Request, Failure> ParseRequest(const QByteArray& frame);

QByteArray ResultMessage(const QJsonValue& id, const QJsonValue& result);
QByteArray ErrorMessage(const QJsonValue& id, int code, const QString& message,
                        const QJsonValue& data = QJsonValue::Undefined);
// A failure status of the control: code is the HRESULT as a signed 32-bit number, data
// carries it as "0xXXXXXXXX" and the control's programmatic identifier as its source.
QByteArray StatusMessage(const QJsonValue& id, int32_t status, const QString& message);

// "0x8000FFFF".
QString HResultText(int32_t status);

}  // namespace tavo::bridge::rpc
