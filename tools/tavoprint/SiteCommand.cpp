#include "SiteCommand.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>

#include "Automation.h"
#include "BrowserPolicies.h"
#include "Translation.h"
#include "bridge/policy/OriginPolicy.h"
#include "bridge/policy/OriginRules.h"

namespace tavo::tool {
namespace fs = std::filesystem;
using namespace tavo::bridge;

namespace {

std::string CheckedOrigin(const std::string& text) {
  const std::optional<std::string> origin = NormalizeOrigin(text);
  if (!origin) {
    throw ToolFailure(2, Tr("not an origin: \"%1\" (an origin is scheme://host[:port] as browsers "
                            "send it, e.g. https://erp.example.com)",
                            {text}));
  }
  return *origin;
}

void Report(const fs::path& file, FileChange change, const std::string& what = "") {
  static constexpr const char* kWords[] = {Translatable("unchanged"), Translatable("written"),
                                           Translatable("removed")};
  std::cout << file.string() << ": " << Tr(kWords[static_cast<int>(change)]) << what << "\n";
}

// The lines of a policy file that is to be changed: one with a bad line is mended first.
PolicyLines LinesToChange(const fs::path& file, const std::string& text) {
  PolicyLines lines = ParsePolicyLines(text, file.string());
  if (!lines.problem.empty())
    throw ToolFailure(1, Tr("%1; mend it first: nothing was changed", {lines.problem}));
  return lines;
}

// The browsers' policies for the origins the machine's lines allow (none: `withdraw`).
void SetBrowsers(const PolicyLines& machine, bool withdraw) {
  const BrowserPolicyPaths paths = BrowserPolicyPaths::Here();
  std::set<std::string> origins, hosts;
  if (!withdraw) {
    for (const std::string& origin : machine.allowed) {
      const std::optional<std::string> host = SkipDomainOf(origin);
      if (!host || machine.blocked.contains(origin)) continue;
      origins.insert(origin);
      hosts.insert(*host);
    }
  }
  Report(paths.chromiumFile, SetChromiumOrigins(paths, origins));
  std::string named;
  for (const std::string& host : hosts) named += (named.empty() ? " (SkipDomains: " : ", ") + host;
  Report(paths.firefoxFile, SetFirefoxHosts(paths, hosts), named.empty() ? "" : named + ")");
}

int Change(const std::string& verb, const std::string& origin, bool machine) {
  const std::optional<bool> allow =
      verb == "remove" ? std::nullopt : std::optional<bool>(verb == "allow");
  const fs::path file = machine ? MachinePolicyLocation() : UserPolicyLocation();
  // Held for the browsers' files too: one administrator's command at a time.
  const PolicyLock lock(file.string() + ".lock");
  const std::string text = ReadPolicyFile(file).value_or("");
  LinesToChange(file, text);
  // A policies.json that cannot be merged stops the command before anything is written.
  if (machine) FirefoxSkipDomains(BrowserPolicyPaths::Here());
  const std::string changed = WithOriginLine(text, origin, allow);
  FileChange change = FileChange::Unchanged;
  if (changed.empty()) {
    if (RemovePolicyFile(file)) change = FileChange::Removed;
  } else if (ReplacePolicyFile(file, changed, machine ? 0644 : 0600)) {
    change = FileChange::Written;
  }
  Report(file, change, " (" + verb + " " + origin + ")");
  if (machine) {
    SetBrowsers(ParsePolicyLines(changed, file.string()), false);
    std::cout << Tr("Browsers read their policies when they start; bridges take the change at once")
              << "\n";
  } else if (allow == true && SkipDomainOf(origin)) {
    std::cout << Tr("Browsers ask you once before the site's pages reach this device; for every "
                    "user, an administrator runs: tavoprint site allow %1 --machine",
                    {origin})
              << "\n";
  }
  return 0;
}

int ApplyOrWithdraw(bool withdraw) {
  const fs::path file = MachinePolicyLocation();
  const PolicyLock lock(file.string() + ".lock");
  const std::string text = ReadPolicyFile(file).value_or("");
  SetBrowsers(withdraw ? PolicyLines{} : LinesToChange(file, text), withdraw);
  return 0;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& word : words) out += (out.empty() ? "" : ", ") + word;
  return out;
}

int List() {
  const fs::path userFile = UserPolicyLocation(), machineFile = MachinePolicyLocation();
  const BrowserPolicyPaths paths = BrowserPolicyPaths::Here();
  const PolicyLines user = ParsePolicyLines(ReadPolicyFile(userFile).value_or(""), userFile);
  const PolicyLines machine =
      ParsePolicyLines(ReadPolicyFile(machineFile).value_or(""), machineFile);
  const std::set<std::string> chromium = ChromiumAllowedOrigins(paths);
  std::set<std::string> firefox;
  std::string firefoxProblem;
  try {
    firefox = FirefoxSkipDomains(paths);
  } catch (const ToolFailure& failure) {
    firefoxProblem = failure.what();
  }
  std::set<std::string> origins = chromium;
  for (const PolicyLines* lines : {&user, &machine}) {
    origins.insert(lines->allowed.begin(), lines->allowed.end());
    origins.insert(lines->blocked.begin(), lines->blocked.end());
  }
  const std::string userWord = Tr("user"), machineWord = Tr("machine");
  std::cout << userWord << ": " << userFile.string() << "\n"
            << machineWord << ": " << machineFile.string()
            << "\nChromium: " << paths.chromiumFolder.string()
            << "\nFirefox: " << paths.firefoxFile.string() << "\n";
  for (const std::string& origin : origins) {
    std::vector<std::string> blocked, allowed, missing;
    if (user.blocked.contains(origin)) blocked.push_back(userWord);
    if (machine.blocked.contains(origin)) blocked.push_back(machineWord);
    if (!blocked.empty()) {
      std::cout << origin << "  " << Tr("blocked: %1", {Joined(blocked)}) << "\n";
      continue;
    }
    if (user.allowed.contains(origin)) allowed.push_back(userWord);
    if (machine.allowed.contains(origin)) allowed.push_back(machineWord);
    if (allowed.empty()) missing.push_back(Tr("the bridge's allow line"));
    const std::optional<std::string> host = SkipDomainOf(origin);
    if (host) {
      (chromium.contains(origin) ? allowed : missing).push_back("Chromium");
      (firefox.contains(*host) ? allowed : missing).push_back("Firefox");
    }
    std::cout << origin << "  "
              << Tr("allowed: %1", {allowed.empty() ? Tr("nowhere") : Joined(allowed)});
    if (!missing.empty()) {
      std::cout << "; "
                << Tr("missing: %1 (for every user: tavoprint site allow %2 --machine)",
                      {Joined(missing), origin});
    } else if (!host) {
      std::cout << " " << Tr("(a page on this machine needs no browser policy)");
    }
    std::cout << "\n";
  }
  for (const std::string& problem : {user.problem, machine.problem, firefoxProblem}) {
    if (!problem.empty()) std::cout << Tr("problem: %1", {problem}) << "\n";
  }
  return 0;
}

}  // namespace

int RunSite(std::vector<std::string> args) {
  const auto machineFlag = std::find(args.begin(), args.end(), "--machine");
  const bool machine = machineFlag != args.end();
  if (machine) args.erase(machineFlag);
  for (const std::string& arg : args) {
    if (arg.starts_with("--")) throw ToolFailure(2, Tr("unknown option %1", {arg}));
  }
  const std::string verb = args.empty() ? "" : args[0];
  try {
    if ((verb == "allow" || verb == "block" || verb == "remove") && args.size() == 2)
      return Change(verb, CheckedOrigin(args[1]), machine);
    if (verb == "list" && args.size() == 1 && !machine) return List();
    if ((verb == "apply" || verb == "withdraw") && args.size() == 1 && machine)
      return ApplyOrWithdraw(verb == "withdraw");
  } catch (const PolicyError& error) {
    const bool denied = machine && ::geteuid() != 0;
    throw ToolFailure(
        1, std::string(error.what()) +
               (denied ? " " + Tr("(--machine changes the machine's files: run it as root)") : ""));
  }
  throw ToolFailure(2, Tr("site takes allow|block|remove ORIGIN [--machine], list, or "
                          "apply|withdraw --machine"));
}

}  // namespace tavo::tool
