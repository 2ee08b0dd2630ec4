#include "bridge/PeerUid.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {
namespace {

struct Endpoint {
  int family = AF_UNSPEC;
  unsigned char address[16] = {};  // 4 bytes for AF_INET
  uint16_t port = 0;               // host order
};

// A connection as the kernel files the other end's socket: its local address is our peer's.
struct Connection {
  Endpoint ours;
  Endpoint theirs;
};

// What a source says: the owner, that the socket is nobody's (closed, in TIME_WAIT), or nothing.
struct Answer {
  enum { Owner, NoProcess, Unknown } kind = Unknown;
  uid_t uid = 0;
};

std::optional<Endpoint> EndpointOf(const sockaddr_storage& address) {
  Endpoint endpoint;
  endpoint.family = address.ss_family;
  if (address.ss_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(address);
    std::memcpy(endpoint.address, &in.sin_addr, 4);
    endpoint.port = ntohs(in.sin_port);
    return endpoint;
  }
  if (address.ss_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    std::memcpy(endpoint.address, &in6.sin6_addr, 16);
    endpoint.port = ntohs(in6.sin6_port);
    return endpoint;
  }
  return std::nullopt;
}

bool Mapped(const Endpoint& endpoint) {
  static constexpr unsigned char kPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  return endpoint.family == AF_INET6 && std::memcmp(endpoint.address, kPrefix, 12) == 0;
}

Endpoint Unmapped(const Endpoint& endpoint) {
  Endpoint v4;
  v4.family = AF_INET;
  std::memcpy(v4.address, endpoint.address + 12, 4);
  v4.port = endpoint.port;
  return v4;
}

// The ways the other end may be filed: as it is, and for an IPv4 peer of a dual-stack socket
// (::ffff:a.b.c.d) first as the IPv4 socket it most likely is.
std::vector<Connection> ConnectionsOf(int fd) {
  sockaddr_storage ours{};
  sockaddr_storage theirs{};
  socklen_t oursLength = sizeof ours;
  socklen_t theirsLength = sizeof theirs;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&ours), &oursLength) != 0 ||
      ::getpeername(fd, reinterpret_cast<sockaddr*>(&theirs), &theirsLength) != 0)
    return {};
  const std::optional<Endpoint> local = EndpointOf(ours);
  const std::optional<Endpoint> remote = EndpointOf(theirs);
  if (!local || !remote || local->family != remote->family) return {};
  std::vector<Connection> connections;
  if (Mapped(*local) && Mapped(*remote))
    connections.push_back({Unmapped(*local), Unmapped(*remote)});
  connections.push_back({*local, *remote});
  return connections;
}

size_t AddressLength(int family) { return family == AF_INET ? 4 : 16; }

Answer AskSockDiag(const Connection& connection) {
  FileDescriptor link(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
  if (!link.Valid()) return {};
  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } message{};
  message.header.nlmsg_len = sizeof message;
  message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.header.nlmsg_flags = NLM_F_REQUEST;
  message.header.nlmsg_seq = 1;
  inet_diag_req_v2& request = message.request;
  request.sdiag_family = static_cast<uint8_t>(connection.ours.family);
  request.sdiag_protocol = IPPROTO_TCP;
  request.idiag_states = ~0U;
  // The other end's socket: its source is our peer, its destination is us.
  request.id.idiag_sport = htons(connection.theirs.port);
  request.id.idiag_dport = htons(connection.ours.port);
  const size_t length = AddressLength(connection.ours.family);
  std::memcpy(request.id.idiag_src, connection.theirs.address, length);
  std::memcpy(request.id.idiag_dst, connection.ours.address, length);
  request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(link.Get(), &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) != static_cast<ssize_t>(sizeof message))
    return {};
  // The kernel answers within the send; nothing waiting means it will not answer.
  alignas(nlmsghdr) char buffer[8192];
  ssize_t got = ::recv(link.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
  if (got <= 0) return {};
  for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, got);
       header = NLMSG_NEXT(header, got)) {
    if (header->nlmsg_type == NLMSG_ERROR) {
      // Not found is an answer: no socket of this machine is that connection's other end.
      const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
      return error->error == -ENOENT ? Answer{Answer::NoProcess} : Answer{};
    }
    if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
        header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
      continue;
    const auto* found = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
    // A socket no file refers to any more has no process, and its owner reads as root.
    if (found->idiag_inode == 0) return {Answer::NoProcess};
    return {Answer::Owner, found->idiag_uid};
  }
  return {};
}

// /proc/net/tcp's form of an endpoint: each 32-bit word of the address as the machine reads
// it, in hexadecimal, then the port.
std::string ProcNetText(const Endpoint& endpoint) {
  std::string text;
  char word[9];
  for (size_t at = 0; at < AddressLength(endpoint.family); at += 4) {
    uint32_t value;
    std::memcpy(&value, endpoint.address + at, 4);
    std::snprintf(word, sizeof word, "%08X", value);
    text += word;
  }
  std::snprintf(word, sizeof word, "%04X", endpoint.port);
  return text + ":" + word;
}

Answer ReadProcNet(const Connection& connection) {
  // /proc/self/net rather than /proc/net, which a service with ProcSubset=pid does not see.
  std::ifstream table(connection.ours.family == AF_INET ? "/proc/self/net/tcp"
                                                        : "/proc/self/net/tcp6");
  if (!table) return {};
  const std::string local = ProcNetText(connection.theirs);
  const std::string remote = ProcNetText(connection.ours);
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, from, to, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> from >> to >> state >> queues >> timer >> retransmits >> uid >> timeout >>
        inode;
    if (!fields || from != local || to != remote) continue;
    if (inode == "0") return {Answer::NoProcess};
    return {Answer::Owner, static_cast<uid_t>(std::stoul(uid))};
  }
  return {Answer::NoProcess};
}

template <typename Source>
std::optional<uid_t> Ask(int fd, Source source, bool& answered) {
  answered = false;
  for (const Connection& connection : ConnectionsOf(fd)) {
    const Answer answer = source(connection);
    if (answer.kind == Answer::Owner) {
      answered = true;
      return answer.uid;
    }
    if (answer.kind == Answer::NoProcess) answered = true;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uid_t> PeerUidFromSockDiag(int fd) {
  bool answered;
  return Ask(fd, AskSockDiag, answered);
}

std::optional<uid_t> PeerUidFromProcNet(int fd) {
  bool answered;
  return Ask(fd, ReadProcNet, answered);
}

std::optional<uid_t> PeerProcessUid(int fd) {
  bool answered = false;
  if (const auto uid = Ask(fd, AskSockDiag, answered)) return uid;
  if (answered) return std::nullopt;
  return Ask(fd, ReadProcNet, answered);
}

}  // namespace tavo::bridge
