#include "StatusPage.h"

#include <QUrlQuery>

namespace tavo::bridge {
namespace {

constexpr const char* kCookie = "tavo-lang";

struct StatusTexts {
  const char* lang;
  const char* title;
  const char* running;
  const char* facts;  // %1 version, %2 port, %3 user
  const char* policy;
  const char* machinePolicy;
  const char* client;
  const char* other;  // the switch to the other language
  const char* otherLang;
};

constexpr StatusTexts kEnglish{
    "en",
    "tavobridge",
    "tavobridge is running",
    "Version %1, on port %2, for user %3.",
    "Origin policy: ",
    "Machine origin policy: ",
    "Web pages import <code>/tavo.js</code>.",
    "中文",
    "zh-CN",
};

constexpr StatusTexts kChinese{
    "zh-CN",
    "tavobridge",
    "tavobridge 正在运行",
    "版本 %1，端口 %2，为用户 %3 服务。",
    "来源策略：",
    "本机来源策略：",
    "网页通过 <code>/tavo.js</code> 使用打印控件。",
    "English",
    "en",
};

std::optional<PageLanguage> Named(const QByteArray& tag) {
  const QByteArray lower = tag.trimmed().toLower();
  if (lower == "zh" || lower.startsWith("zh-") || lower.startsWith("zh_"))
    return PageLanguage::Chinese;
  if (lower == "en" || lower.startsWith("en-") || lower.startsWith("en_"))
    return PageLanguage::English;
  return std::nullopt;
}

QByteArray QueryLanguage(const HttpRequest& request) {
  return QUrlQuery(QString::fromLatin1(request.query))
      .queryItemValue(QStringLiteral("lang"))
      .toLatin1();
}

QByteArray CookieLanguage(const HttpRequest& request) {
  for (const QByteArray& pair : request.Header("cookie").split(';')) {
    const QByteArray item = pair.trimmed();
    if (item.startsWith(QByteArray(kCookie) + "=")) return item.mid(qstrlen(kCookie) + 1);
  }
  return {};
}

QByteArray Escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

}  // namespace

PageLanguage LanguageOf(const HttpRequest& request) {
  for (const QByteArray& chosen : {QueryLanguage(request), CookieLanguage(request)}) {
    if (const auto language = Named(chosen)) return *language;
  }
  // In the browser's order; the weights only repeat it for the languages browsers send.
  for (const QByteArray& entry : request.Header("accept-language").split(',')) {
    if (const auto language = Named(entry.split(';').front())) return *language;
  }
  return PageLanguage::English;
}

QByteArray RememberedLanguageHeader(const HttpRequest& request) {
  const auto language = Named(QueryLanguage(request));
  if (!language) return {};
  return QByteArray("Set-Cookie: ") + kCookie + "=" +
         (*language == PageLanguage::Chinese ? "zh-CN" : "en") +
         "; Path=/; Max-Age=31536000; SameSite=Strict\r\n";
}

QByteArray StatusPage(const StatusFacts& facts, PageLanguage language) {
  const StatusTexts& t = language == PageLanguage::Chinese ? kChinese : kEnglish;
  const QString line = QString::fromUtf8(t.facts).arg(
      facts.version.toHtmlEscaped(), QString::number(facts.port), facts.userName.toHtmlEscaped());
  QByteArray page = QByteArray("<!doctype html><html lang=\"") + t.lang +
                    "\"><meta charset=\"utf-8\"><title>" + t.title +
                    "</title><link rel=\"icon\" href=\"/designer/favicon.svg\">"
                    "<p><a href=\"/?lang=" +
                    t.otherLang + "\" lang=\"" + t.otherLang + "\">" + t.other + "</a></p><h1>" +
                    t.running + "</h1><p>" + line.toUtf8() + "</p><p>" + t.policy +
                    Escaped(facts.policyFile) + "</p><p>" + t.machinePolicy +
                    Escaped(facts.machinePolicyFile);
  if (!facts.machinePolicyProblem.isEmpty())
    page += " (" + Escaped(facts.machinePolicyProblem) + ")";
  page += QByteArray("</p><p>") + t.client + "</p></html>";
  return page;
}

}  // namespace tavo::bridge
