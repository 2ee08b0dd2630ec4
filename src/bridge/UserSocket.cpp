#include "bridge/UserSocket.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "bridge/HandOver.h"

namespace tavo::bridge {
namespace fs = std::filesystem;
namespace {

// A hand-over is one byte with one descriptor, then the end: a channel that says nothing for
// this long, or more channels than this at once, are not the dispatcher's.
constexpr int kChannelTimeoutMs = 10000;
constexpr int kMaxChannels = 64;

std::runtime_error Failure(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

// The folder of the socket, this user's own and no one else's.
void MakeFolder(const fs::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw Failure("cannot make " + folder.string());
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0) throw Failure("cannot read " + folder.string());
  if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
    throw std::runtime_error(folder.string() + " is not a folder of this user's");
}

// The bytes and descriptors coming over one accepted connection of the dispatcher's.
class Channel : public QObject {
 public:
  Channel(QObject* parent, FileDescriptor fd, const std::function<void(FileDescriptor)>& deliver,
          int& count)
      : QObject(parent),
        fd_(std::move(fd)),
        notifier_(fd_.Get(), QSocketNotifier::Read),
        count_(count) {
    ++count_;
    connect(&notifier_, &QSocketNotifier::activated, this, [this, &deliver] {
      std::vector<FileDescriptor> received;
      const bool open = ReceiveDescriptors(fd_.Get(), received);
      for (FileDescriptor& connection : received) deliver(std::move(connection));
      if (!open) End();
    });
    QTimer::singleShot(kChannelTimeoutMs, this, [this] { End(); });
  }
  ~Channel() override { --count_; }

 private:
  void End() {
    notifier_.setEnabled(false);
    deleteLater();
  }
  FileDescriptor fd_;
  QSocketNotifier notifier_;
  int& count_;
};

}  // namespace

UserSocket::UserSocket(fs::path path, std::vector<uid_t> allowed,
                       std::function<void(FileDescriptor)> onConnection)
    : path_(std::move(path)),
      allowed_(std::move(allowed)),
      onConnection_(std::move(onConnection)),
      lock_(-1),
      listener_(-1) {
  const fs::path folder = path_.parent_path();
  MakeFolder(folder);
  const fs::path lockFile = path_.string() + ".lock";
  lock_ = FileDescriptor(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!lock_.Valid()) throw Failure("cannot open " + lockFile.string());
  if (::flock(lock_.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      throw std::runtime_error("another tavobridge --user-socket of this user listens on " +
                               path_.string());
    throw Failure("cannot lock " + lockFile.string());
  }
  // What is left there is a bridge's that ended without taking its name away.
  ::unlink(path_.c_str());
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.string().size() >= sizeof address.sun_path)
    throw std::runtime_error("the socket's path is too long: " + path_.string());
  std::memcpy(address.sun_path, path_.c_str(), path_.string().size() + 1);
  listener_ = FileDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listener_.Valid()) throw Failure("cannot make a socket");
  if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw Failure("cannot listen on " + path_.string());
  // The folder keeps everyone out but this user, root and those who may pass any folder (the
  // dispatcher); the socket itself is open to them, and who connected is checked on accept.
  if (::chmod(path_.c_str(), 0666) != 0 || ::listen(listener_.Get(), SOMAXCONN) != 0)
    throw Failure("cannot listen on " + path_.string());
  notifier_ = std::make_unique<QSocketNotifier>(listener_.Get(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &UserSocket::OnListener);
}

UserSocket::~UserSocket() {
  notifier_.reset();
  ::unlink(path_.c_str());
}

bool UserSocket::Allowed(uid_t uid) const {
  return std::find(allowed_.begin(), allowed_.end(), uid) != allowed_.end();
}

void UserSocket::OnListener() {
  for (;;) {
    FileDescriptor channel(
        ::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!channel.Valid()) return;
    uid_t uid = 0;
    if (!UnixPeerUid(channel.Get(), uid) || !Allowed(uid)) {
      std::fprintf(stderr,
                   "tavobridge: a hand-over from uid %u refused: only the dispatcher's user, root "
                   "and this user may hand connections over\n",
                   static_cast<unsigned>(uid));
      continue;
    }
    if (channels_ >= kMaxChannels) {
      std::fprintf(stderr, "tavobridge: more than %d hand-overs at once; one refused\n",
                   kMaxChannels);
      continue;
    }
    new Channel(this, std::move(channel), onConnection_, channels_);
  }
}

}  // namespace tavo::bridge
