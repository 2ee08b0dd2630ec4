// Text a page controls (origins, hosts, method names, paths) as it goes into the bridge's log:
// control characters shown as \xNN, so a page cannot forge or break log lines, and at most 200
// characters, so it cannot flood them.
#pragma once

#include <QString>

namespace tavo::bridge {

inline constexpr qsizetype kMaxLoggedCharacters = 200;

QString LogText(const QString& text);

}  // namespace tavo::bridge
