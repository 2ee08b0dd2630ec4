// The user's side of the bridge's port: `tavobridge --user-socket` listens on
// $XDG_RUNTIME_DIR/tavo/bridge.sock, where the dispatcher hands over the connections of this
// user's processes. Only the dispatcher's user, root and this user may hand any over (the
// kernel's word for who connected: SO_PEERCRED); each TCP socket received goes to the bridge,
// which serves it as one it accepted itself.
#pragma once

#include <sys/types.h>

#include <QObject>
#include <QSocketNotifier>
#include <filesystem>
#include <functional>
#include <vector>

#include "platform/core/FileDescriptor.h"

namespace tavo::bridge {

class UserSocket : public QObject {
 public:
  // Listens at `path` (its folder made, private, when missing). A failure (another bridge of
  // this user listens there, the folder is not this user's) is an exception naming it.
  UserSocket(std::filesystem::path path, std::vector<uid_t> allowed,
             std::function<void(FileDescriptor)> onConnection);
  // Takes the name away.
  ~UserSocket() override;
  UserSocket(const UserSocket&) = delete;
  UserSocket& operator=(const UserSocket&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  void OnListener();
  bool Allowed(uid_t uid) const;

  std::filesystem::path path_;
  std::vector<uid_t> allowed_;
  std::function<void(FileDescriptor)> onConnection_;
  FileDescriptor lock_;  // held while this bridge listens at the name
  FileDescriptor listener_;
  std::unique_ptr<QSocketNotifier> notifier_;
  int channels_ = 0;
};

}  // namespace tavo::bridge
