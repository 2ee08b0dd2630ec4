#include "BrowserPolicies.h"

#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdlib>

#include "Automation.h"
#include "Translation.h"
#include "bridge/policy/OriginPolicy.h"
#include "bridge/policy/OriginRules.h"
#include "bridge/policy/PolicyFile.h"

namespace tavo::tool {
namespace fs = std::filesystem;
using bridge::ReadPolicyFile;
using bridge::RemovePolicyFile;
using bridge::ReplacePolicyFile;

namespace {

constexpr const char* kLoopbackKey = "LoopbackNetworkAllowedForUrls";
constexpr const char* kLocalNetworkKey = "LocalNetworkAccessAllowedForUrls";

bool IsLoopbackHost(const std::string& host) {
  return host == "localhost" || host.ends_with(".localhost") || host.starts_with("127.") ||
         host == "[::1]";
}

// The JSON object of a policy file; an empty one when there is no file.
QJsonObject ReadJsonObject(const fs::path& file) {
  const std::optional<std::string> text = ReadPolicyFile(file);
  if (!text) return {};
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(*text), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) {
    const std::string why =
        error.error != QJsonParseError::NoError
            ? Tr("%1 at byte %2", {error.errorString().toStdString(), std::to_string(error.offset)})
            : Tr("another value");
    throw ToolFailure(1,
                      Tr("%1 is no JSON object (%2); nothing was changed", {file.string(), why}));
  }
  return document.object();
}

std::string JsonText(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

// The mode of an existing file, else `fallback`.
mode_t ModeOf(const fs::path& file, mode_t fallback) {
  struct stat status {};
  return ::stat(file.c_str(), &status) == 0 ? status.st_mode & 07777 : fallback;
}

std::set<std::string> ReadRecord(const fs::path& file) {
  std::set<std::string> hosts;
  const std::string text = ReadPolicyFile(file).value_or("");
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t end = std::min(text.find('\n', begin), text.size());
    if (end > begin) hosts.insert(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return hosts;
}

FileChange WriteRecord(const fs::path& file, const std::set<std::string>& hosts) {
  if (hosts.empty()) return RemovePolicyFile(file) ? FileChange::Removed : FileChange::Unchanged;
  std::string text;
  for (const std::string& host : hosts) text += host + "\n";
  return ReplacePolicyFile(file, text, 0644) ? FileChange::Written : FileChange::Unchanged;
}

}  // namespace

BrowserPolicyPaths BrowserPolicyPaths::Here() {
  const char* root = std::getenv("TAVO_BROWSER_POLICY_ROOT");
  const fs::path base = root && *root ? fs::path(root) : fs::path("/");
  BrowserPolicyPaths paths;
  paths.chromiumFolder = base / "etc/chromium/policies/managed";
  paths.chromiumFile = paths.chromiumFolder / "tavo-bridge.json";
  paths.firefoxFile = base / "etc/firefox/policies/policies.json";
  // Beside the machine's origin policy, whose allow lines the hosts come from.
  paths.firefoxRecord = bridge::MachinePolicyLocation().parent_path() / "firefox-skip-domains";
  return paths;
}

std::optional<std::string> SkipDomainOf(const std::string& origin) {
  const size_t separator = origin.find("://");
  if (separator == std::string::npos) return std::nullopt;
  const std::string scheme = origin.substr(0, separator);
  if (scheme != "http" && scheme != "https") return std::nullopt;
  std::string host = origin.substr(separator + 3);
  // The port goes: SkipDomains names hosts; an IPv6 literal keeps its colons inside brackets.
  const size_t colon = host.find(':', host.starts_with('[') ? host.find(']') : 0);
  if (colon != std::string::npos) host.erase(colon);
  if (IsLoopbackHost(host)) return std::nullopt;
  return host;
}

FileChange SetChromiumOrigins(const BrowserPolicyPaths& paths,
                              const std::set<std::string>& origins) {
  if (origins.empty()) {
    return RemovePolicyFile(paths.chromiumFile) ? FileChange::Removed : FileChange::Unchanged;
  }
  QJsonArray list;
  for (const std::string& origin : origins) list.append(QString::fromStdString(origin));
  // Chromium 145 on has a policy of its own for the loopback address; both lists are honoured.
  const QJsonObject policy{{kLoopbackKey, list}, {kLocalNetworkKey, list}};
  return ReplacePolicyFile(paths.chromiumFile, JsonText(policy), 0644) ? FileChange::Written
                                                                       : FileChange::Unchanged;
}

FileChange SetFirefoxHosts(const BrowserPolicyPaths& paths, const std::set<std::string>& hosts) {
  QJsonObject root = ReadJsonObject(paths.firefoxFile);
  const std::set<std::string> recordBefore = ReadRecord(paths.firefoxRecord);
  QJsonObject policies = root.value("policies").toObject();
  QJsonObject access = policies.value("LocalNetworkAccess").toObject();
  const QJsonArray domains = access.value("SkipDomains").toArray();

  std::set<std::string> record = recordBefore;
  std::set<std::string> present;
  QJsonArray written;
  bool removed = false;
  for (const QJsonValue& value : domains) {
    // Values that are no text stay as the administrator wrote them.
    if (value.isString()) {
      const std::string host = value.toString().toStdString();
      if (recordBefore.contains(host) && !hosts.contains(host)) {
        removed = true;
        continue;
      }
      present.insert(host);
    }
    written.append(value);
  }
  bool added = false;
  for (const std::string& host : hosts) {
    if (present.contains(host)) continue;  // ours already, or another administrator's
    written.append(QString::fromStdString(host));
    record.insert(host);
    added = true;
  }
  for (const std::string& host : recordBefore) {
    if (!hosts.contains(host)) record.erase(host);
  }
  if (!added && !removed) {
    WriteRecord(paths.firefoxRecord, record);
    return FileChange::Unchanged;
  }
  // Recorded before the policy names them, so a host of ours is never taken for another's.
  std::set<std::string> both = recordBefore;
  both.insert(record.begin(), record.end());
  WriteRecord(paths.firefoxRecord, both);

  if (written.isEmpty() && removed) {
    access.remove("SkipDomains");
  } else {
    access.insert("SkipDomains", written);
  }
  if (access.isEmpty() && removed) {
    policies.remove("LocalNetworkAccess");
  } else {
    policies.insert("LocalNetworkAccess", access);
  }
  root.insert("policies", policies);
  FileChange change = FileChange::Written;
  if (policies.isEmpty() && root.size() == 1) {
    RemovePolicyFile(paths.firefoxFile);
    change = FileChange::Removed;
  } else {
    ReplacePolicyFile(paths.firefoxFile, JsonText(root), ModeOf(paths.firefoxFile, 0644));
  }
  WriteRecord(paths.firefoxRecord, record);
  return change;
}

std::set<std::string> ChromiumAllowedOrigins(const BrowserPolicyPaths& paths) {
  std::set<std::string> origins;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(paths.chromiumFolder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with('.') || !entry.is_regular_file(error)) continue;
    QJsonObject policy;
    try {
      policy = ReadJsonObject(entry.path());
    } catch (const ToolFailure&) {
      continue;  // Chromium ignores such a file too
    }
    // Chromium 156 lets a page reach loopback by either policy.
    for (const char* key : {kLoopbackKey, kLocalNetworkKey}) {
      for (const QJsonValue& value : policy.value(key).toArray()) {
        if (const auto origin = bridge::NormalizeOrigin(value.toString().toStdString()))
          origins.insert(*origin);
      }
    }
  }
  return origins;
}

std::set<std::string> FirefoxSkipDomains(const BrowserPolicyPaths& paths) {
  std::set<std::string> hosts;
  const QJsonObject root = ReadJsonObject(paths.firefoxFile);
  const QJsonValue domains =
      root.value("policies").toObject().value("LocalNetworkAccess").toObject().value("SkipDomains");
  for (const QJsonValue& value : domains.toArray()) hosts.insert(value.toString().toStdString());
  return hosts;
}

}  // namespace tavo::tool
