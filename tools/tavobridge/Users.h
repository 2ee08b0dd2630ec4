// The users the bridge deals with: its own, named in /status, and those who may hand it
// connections with --user-socket.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavo::bridge {

// The login name of the bridge's user, else its uid in decimal.
std::string UserName();

// The dispatcher's user (TAVO_DISPATCH_USER, else the package's _tavo where it exists), root
// and the bridge's own user.
std::vector<uid_t> HandOverUsers();

}  // namespace tavo::bridge
