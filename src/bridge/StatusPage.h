// The bridge's own page at "/": what runs, for whom, and which policies it reads, in the
// reader's language (English or Chinese).
#pragma once

#include <QByteArray>
#include <QString>

#include "HttpRequest.h"

namespace tavo::bridge {

enum class PageLanguage { English, Chinese };

// The language a switch on the page chose (?lang=, remembered in a cookie), else the first
// of the browser's languages (Accept-Language) the page speaks; English otherwise.
PageLanguage LanguageOf(const HttpRequest& request);

// The header that remembers a language chosen with ?lang=, or nothing.
QByteArray RememberedLanguageHeader(const HttpRequest& request);

struct StatusFacts {
  QString version;
  quint16 port = 0;
  QString userName;
  QString policyFile;
  QString machinePolicyFile;
  QString machinePolicyProblem;  // empty when the machine's file is sound
};

QByteArray StatusPage(const StatusFacts& facts, PageLanguage language);

}  // namespace tavo::bridge
