// The browsers' administrator policies that let a public page reach the bridge on 127.0.0.1
// without asking each user: Chromium's LoopbackNetworkAllowedForUrls and
// LocalNetworkAccessAllowedForUrls in a file of our own among its managed policies, and
// Firefox's LocalNetworkAccess.SkipDomains merged into its one policies.json, every other key
// kept. Firefox matches SkipDomains by host name alone (no scheme, no port) against the page and
// the address it reaches, so a site's host is written, never 127.0.0.1: that would let every
// site reach this machine's services. The hosts we added are recorded, so that only ours go.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace tavo::tool {

struct BrowserPolicyPaths {
  std::filesystem::path chromiumFolder;  // /etc/chromium/policies/managed
  std::filesystem::path chromiumFile;    // our file in it: tavo-bridge.json
  std::filesystem::path firefoxFile;     // /etc/firefox/policies/policies.json
  std::filesystem::path firefoxRecord;   // /etc/tavo/firefox-skip-domains: the hosts we added

  // The machine's places; the browsers' below TAVO_BROWSER_POLICY_ROOT when set (the tests'
  // own folder), the record beside the machine's origin policy.
  static BrowserPolicyPaths Here();
};

// The host Firefox's SkipDomains names for an origin's pages; nothing for an origin that needs
// no browser policy: a page on this machine (loopback), or a scheme other than http and https.
std::optional<std::string> SkipDomainOf(const std::string& origin);

// What one write did to a file, for the user.
enum class FileChange { Unchanged, Written, Removed };

// Makes our Chromium file allow exactly `origins` (it is removed when there are none).
FileChange SetChromiumOrigins(const BrowserPolicyPaths& paths,
                              const std::set<std::string>& origins);

// Makes the hosts we added to SkipDomains exactly `hosts`: a missing one is added (and
// recorded), one another administrator put there is left as theirs, a recorded one no longer
// wanted is taken out. A SkipDomains or LocalNetworkAccess left empty by that goes, and so does
// a file left holding no policy. A ToolFailure for a policies.json that is no JSON object.
FileChange SetFirefoxHosts(const BrowserPolicyPaths& paths, const std::set<std::string>& hosts);

// The origins any managed Chromium policy file lets reach loopback (for `site list`).
std::set<std::string> ChromiumAllowedOrigins(const BrowserPolicyPaths& paths);
// The hosts in Firefox's SkipDomains.
std::set<std::string> FirefoxSkipDomains(const BrowserPolicyPaths& paths);

}  // namespace tavo::tool
