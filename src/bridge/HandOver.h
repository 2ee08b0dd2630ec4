// Handing a connection from the dispatcher to a user's bridge: the TCP socket's descriptor
// travels over a Unix stream socket (SCM_RIGHTS) with one byte, and nothing else is said.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {

// Where a user's bridge listens, inside the user's runtime folder ($XDG_RUNTIME_DIR, which is
// /run/user/UID in a session).
inline constexpr const char* kUserSocketName = "tavo/bridge.sock";
std::string UserBridgeSocket(uid_t uid);

// Sends `descriptor` over `channel` without waiting: 0, or the errno (EAGAIN: try again when
// the channel is writable).
int SendDescriptor(int channel, int descriptor);

// Takes what is waiting on `channel` without waiting, appending the descriptors received (close
// on exec). False once the channel has ended or failed.
bool ReceiveDescriptors(int channel, std::vector<FileDescriptor>& received);

// The uid of the process at the other end of a Unix socket, as it was when it connected or
// began listening.
bool UnixPeerUid(int socket, uid_t& uid);

}  // namespace tavo::bridge
