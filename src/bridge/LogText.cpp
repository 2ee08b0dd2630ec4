#include "bridge/LogText.h"

namespace tavo::bridge {

QString LogText(const QString& text) {
  QString shown;
  const QString kept = text.left(kMaxLoggedCharacters);
  for (const QChar c : kept) {
    const char16_t code = c.unicode();
    if (code < 0x20 || code == 0x7f || (code >= 0x80 && code < 0xa0) || code == 0x2028 ||
        code == 0x2029) {
      shown += code <= 0xff ? QString("\\x%1").arg(code, 2, 16, QChar('0'))
                            : QString("\\u%1").arg(code, 4, 16, QChar('0'));
    } else {
      shown += c;
    }
  }
  if (text.size() > kept.size()) shown += QString("... (%1 characters)").arg(text.size());
  return shown;
}

}  // namespace tavo::bridge
