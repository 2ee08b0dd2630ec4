// The head of one plain HTTP request, as the bridge reads it before deciding whether the
// connection is a route or a WebSocket upgrade.
#pragma once

#include <QByteArray>
#include <QHash>
#include <optional>

namespace tavo::bridge {

inline constexpr qsizetype kMaxRequestHead = 16 * 1024;

struct HttpRequest {
  QByteArray method;
  QByteArray path;                        // without the query
  QByteArray query;                       // after the "?", as sent
  QHash<QByteArray, QByteArray> headers;  // names in lower case

  QByteArray Header(const QByteArray& name) const { return headers.value(name); }
  bool IsWebSocketUpgrade() const;
};

// The request whose head ends `data` has (the head's length in `headLength`); nothing while
// the head is incomplete or when it is malformed (`malformed` then says so).
std::optional<HttpRequest> ParseRequestHead(const QByteArray& data, qsizetype& headLength,
                                            bool& malformed);

}  // namespace tavo::bridge
