#include "bridge/HandOver.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace tavo::bridge {

std::string UserBridgeSocket(uid_t uid) {
  return "/run/user/" + std::to_string(uid) + "/" + kUserSocketName;
}

int SendDescriptor(int channel, int descriptor) {
  char byte = 'c';
  iovec data{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &descriptor, sizeof(int));
  if (::sendmsg(channel, &message, MSG_DONTWAIT | MSG_NOSIGNAL) == 1) return 0;
  return errno == EWOULDBLOCK ? EAGAIN : errno;
}

bool ReceiveDescriptors(int channel, std::vector<FileDescriptor>& received) {
  for (;;) {
    char bytes[64];
    iovec data{bytes, sizeof bytes};
    // Room for as many descriptors as bytes: each is sent with one.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * sizeof bytes)];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(channel, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
      if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
      const size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (size_t i = 0; i < count; ++i) {
        int descriptor;
        std::memcpy(&descriptor, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
        received.emplace_back(descriptor);
      }
    }
    if (got == 0) return false;
  }
}

bool UnixPeerUid(int socket, uid_t& uid) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
  uid = credentials.uid;
  return true;
}

}  // namespace tavo::bridge
