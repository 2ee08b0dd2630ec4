// A temporary file beside a target file, which either replaces the target or disappears: a
// download or a page's file lands whole or not at all.
#pragma once

#include <string>

namespace tavo {

class TempFile {
 public:
  // Creates a new, empty file in the directory of `target` (a UTF-8 path). It gets the mode of
  // an existing target, else 0666 less the umask. Throws tavo::Error naming `ansiTarget`.
  TempFile(const std::string& target, const std::string& ansiTarget);
  // Removes the file unless it replaced the target.
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Writes all of `size` bytes; false on a file system error (errno tells which).
  bool Write(const char* data, size_t size);

  // Flushes the file to disk, closes it and renames it over the target. Throws tavo::Error.
  void ReplaceTarget();

  // The error of the last failed write, for the message.
  int WriteError() const { return writeError_; }

 private:
  std::string target_;
  std::string ansiTarget_;
  std::string path_;
  int fd_ = -1;
  int writeError_ = 0;
  bool replaced_ = false;
};

}  // namespace tavo
