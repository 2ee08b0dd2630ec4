#include "bridge/HttpRequest.h"

#include <QList>

namespace tavo::bridge {

bool HttpRequest::IsWebSocketUpgrade() const {
  return Header("upgrade").toLower() == "websocket" &&
         Header("connection").toLower().contains("upgrade");
}

std::optional<HttpRequest> ParseRequestHead(const QByteArray& data, qsizetype& headLength,
                                            bool& malformed) {
  malformed = false;
  const qsizetype end = data.indexOf("\r\n\r\n");
  if (end < 0) {
    malformed = data.size() > kMaxRequestHead;
    return std::nullopt;
  }
  headLength = end + 4;
  const QList<QByteArray> lines = data.left(end).split('\n');
  const QList<QByteArray> first = lines.front().trimmed().split(' ');
  if (first.size() != 3 || !first[2].startsWith("HTTP/1.")) {
    malformed = true;
    return std::nullopt;
  }
  HttpRequest request;
  request.method = first[0];
  const qsizetype question = first[1].indexOf('?');
  request.path = question < 0 ? first[1] : first[1].left(question);
  if (question >= 0) request.query = first[1].mid(question + 1);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon <= 0) {
      malformed = true;
      return std::nullopt;
    }
    const QByteArray name = lines[i].left(colon).trimmed().toLower();
    const QByteArray value = lines[i].mid(colon + 1).trimmed();
    // A repeated Host header is ambiguous: refuse it rather than guess which one counts.
    if (name == "host" && request.headers.contains(name)) {
      malformed = true;
      return std::nullopt;
    }
    request.headers.insert(name, value);
  }
  return request;
}

}  // namespace tavo::bridge
