#include "Users.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace tavo::bridge {
namespace {

struct Account {
  std::string name;
  uid_t uid;
};

template <typename Key, typename Lookup>
std::optional<Account> Find(Key key, Lookup lookup) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (lookup(key, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return std::nullopt;
  return Account{found->pw_name, found->pw_uid};
}

}  // namespace

std::string UserName() {
  if (const auto account = Find(::geteuid(), getpwuid_r)) return account->name;
  return std::to_string(::geteuid());
}

std::vector<uid_t> HandOverUsers() {
  std::vector<uid_t> users{::geteuid(), 0};
  const char* name = std::getenv("TAVO_DISPATCH_USER");
  if (const auto dispatcher = Find(name && *name ? name : "_tavo", getpwnam_r))
    users.push_back(dispatcher->uid);
  return users;
}

}  // namespace tavo::bridge
