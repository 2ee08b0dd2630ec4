#include "bridge/JsonRpc.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace tavo::bridge::rpc {

std::variant<Request, Failure> ParseRequest(const QByteArray& frame) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(frame, &error);
  if (error.error != QJsonParseError::NoError) {
    // A document holds an object or an array only; a lone JSON value is well-formed too.
    QJsonParseError wrapped{};
    QJsonDocument::fromJson("[" + frame + "]", &wrapped);
    if (wrapped.error == QJsonParseError::NoError && !frame.trimmed().isEmpty())
      return Failure{QJsonValue::Null, kInvalidRequest, "Invalid request: not an object"};
    return Failure{QJsonValue::Null, kParseError, "Parse error: " + error.errorString()};
  }
  if (document.isArray())
    return Failure{QJsonValue::Null, kInvalidRequest, "Invalid request: batches are not supported"};
  if (!document.isObject())
    return Failure{QJsonValue::Null, kInvalidRequest, "Invalid request: not an object"};
  const QJsonObject object = document.object();

  Request request;
  request.notification = !object.contains("id");
  request.id = object.value("id");
  if (request.notification) request.id = QJsonValue::Null;
  const bool goodId = request.id.isNull() || request.id.isString() || request.id.isDouble();
  const QJsonValue idToAnswer = goodId ? request.id : QJsonValue(QJsonValue::Null);
  if (!goodId)
    return Failure{idToAnswer, kInvalidRequest,
                   "Invalid request: the id is not a string or number"};
  if (object.value("jsonrpc") != QJsonValue("2.0"))
    return Failure{idToAnswer, kInvalidRequest, "Invalid request: \"jsonrpc\" must be \"2.0\""};
  const QJsonValue method = object.value("method");
  if (!method.isString())
    return Failure{idToAnswer, kInvalidRequest, "Invalid request: \"method\" is not a string"};
  request.method = method.toString();
  const QJsonValue params = object.value("params");
  if (params.isArray()) {
    request.params = params.toArray();
  } else if (!params.isUndefined()) {
    return Failure{idToAnswer, kInvalidParams, "Invalid params: they are passed by position"};
  }
  return request;
}

QByteArray ResultMessage(const QJsonValue& id, const QJsonValue& result) {
  QJsonObject object{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}};
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray ErrorMessage(const QJsonValue& id, int code, const QString& message,
                        const QJsonValue& data) {
  QJsonObject error{{"code", code}, {"message", message}};
  if (!data.isUndefined()) error.insert("data", data);
  QJsonObject object{{"jsonrpc", "2.0"}, {"id", id}, {"error", error}};
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray StatusMessage(const QJsonValue& id, int32_t status, const QString& message) {
  const QJsonObject data{{"hresult", HResultText(status)},
                         {"source", "TavoPreFmtPrinterX.TavoPreFmtPrinter"}};
  return ErrorMessage(id, status, message, data);
}

QString HResultText(int32_t status) {
  return "0x" + QString::number(static_cast<uint32_t>(status), 16).rightJustified(8, '0').toUpper();
}

}  // namespace tavo::bridge::rpc
