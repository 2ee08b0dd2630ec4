// Whose process is at the other end of a loopback TCP connection: the kernel knows the owner of
// every socket on the machine, so the bridge asks it for the socket whose addresses are this
// connection's, turned around. The dispatcher hands a connection to that user's bridge; a
// bridge serves only its own user's processes.
#pragma once

#include <sys/types.h>

#include <optional>

namespace tavo::bridge {

// The uid of the process holding the other end of the connected TCP socket `fd`: asked of
// sock_diag (NETLINK_INET_DIAG), else read from /proc/net/tcp and tcp6. Nothing when the other
// end is not on this machine, no process holds it any more (it has closed its socket), or
// neither source answers.
std::optional<uid_t> PeerProcessUid(int fd);

// The two sources on their own.
std::optional<uid_t> PeerUidFromSockDiag(int fd);
std::optional<uid_t> PeerUidFromProcNet(int fd);

}  // namespace tavo::bridge
