// Whose process is at the other end of a loopback connection: the uid of the process that
// connected (another user's, when the test may switch users), by both sources alike, over
// IPv4, IPv6 and an IPv4 client of a dual-stack socket; and nobody's once that process has
// closed its end.
#include "bridge/PeerUid.h"

#include <arpa/inet.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {
namespace {

struct Loopback {
  const char* name;
  int listenFamily;
  bool dualStack;
  int clientFamily;
};

// A listening socket on loopback of `loopback`, or an invalid one where the machine lacks it.
FileDescriptor Listen(const Loopback& loopback, uint16_t& port) {
  FileDescriptor fd(::socket(loopback.listenFamily, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return fd;
  sockaddr_storage address{};
  socklen_t length;
  if (loopback.listenFamily == AF_INET) {
    auto& in = reinterpret_cast<sockaddr_in&>(address);
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof in;
  } else {
    const int only = loopback.dualStack ? 0 : 1;
    ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
    in6.sin6_family = AF_INET6;
    in6.sin6_addr = loopback.dualStack ? in6addr_any : in6addr_loopback;
    length = sizeof in6;
  }
  if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(fd.Get(), 4) != 0 ||
      ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return FileDescriptor(-1);
  port =
      ntohs(loopback.listenFamily == AF_INET ? reinterpret_cast<sockaddr_in&>(address).sin_port
                                             : reinterpret_cast<sockaddr_in6&>(address).sin6_port);
  return fd;
}

// In a child: become `uid`, connect to loopback `port`, hold the connection until the pipe
// `hold` is closed, close.
pid_t ConnectAs(uid_t uid, int family, uint16_t port, const int hold[2]) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::close(hold[1]);
  if (::getuid() != uid && (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 ||
                            ::setresuid(uid, uid, uid) != 0))
    ::_exit(10);
  const int fd = ::socket(family, SOCK_STREAM, 0);
  sockaddr_storage address{};
  socklen_t length;
  if (family == AF_INET) {
    auto& in = reinterpret_cast<sockaddr_in&>(address);
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in.sin_port = htons(port);
    length = sizeof in;
  } else {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
    in6.sin6_family = AF_INET6;
    in6.sin6_addr = in6addr_loopback;
    in6.sin6_port = htons(port);
    length = sizeof in6;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) ::_exit(11);
  char byte;
  if (::read(hold[0], &byte, 1) < 0) ::_exit(12);
  ::close(fd);
  ::_exit(0);
}

TEST(PeerUid, NamesTheUserWhoseProcessConnectedAndNobodyOnceItHasClosed) {
  // As root the client is another user's (nobody's uid); else it is ours.
  const uid_t other = ::geteuid() == 0 ? 65534 : ::geteuid();
  const Loopback loopbacks[] = {{"IPv4", AF_INET, false, AF_INET},
                                {"IPv6", AF_INET6, false, AF_INET6},
                                {"IPv4 client of a dual-stack socket", AF_INET6, true, AF_INET}};
  int tested = 0;
  for (const Loopback& loopback : loopbacks) {
    SCOPED_TRACE(loopback.name);
    uint16_t port = 0;
    const FileDescriptor listener = Listen(loopback, port);
    if (!listener.Valid()) continue;  // no IPv6 here
    int hold[2];
    ASSERT_EQ(::pipe(hold), 0);
    const pid_t client = ConnectAs(other, loopback.clientFamily, port, hold);
    ::close(hold[0]);
    const FileDescriptor accepted(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    ASSERT_TRUE(accepted.Valid()) << std::strerror(errno);

    EXPECT_EQ(PeerUidFromSockDiag(accepted.Get()), other);
    EXPECT_EQ(PeerUidFromProcNet(accepted.Get()), other);
    EXPECT_EQ(PeerProcessUid(accepted.Get()), other);

    ::close(hold[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(client, &status, 0), client);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // The closed end lingers in the kernel (as root's, were its owner read) with no process.
    EXPECT_EQ(PeerUidFromSockDiag(accepted.Get()), std::nullopt);
    EXPECT_EQ(PeerUidFromProcNet(accepted.Get()), std::nullopt);
    EXPECT_EQ(PeerProcessUid(accepted.Get()), std::nullopt);
    ++tested;
  }
  EXPECT_GE(tested, 1);
}

TEST(PeerUid, SaysNothingOfWhatIsNoTcpConnection) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  const FileDescriptor first(pair[0]);
  const FileDescriptor second(pair[1]);
  EXPECT_EQ(PeerProcessUid(first.Get()), std::nullopt);
  EXPECT_EQ(PeerProcessUid(-1), std::nullopt);
}

}  // namespace
}  // namespace tavo::bridge
