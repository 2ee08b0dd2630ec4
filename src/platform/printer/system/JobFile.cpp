#include "platform/printer/system/JobFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/core/FileDescriptor.h"

namespace tavo {
namespace {

std::string Reason(int error) { return codepage::Utf8ToAnsi(std::strerror(error)); }

}  // namespace

JobFile::JobFile(std::string pattern, const std::string& suffix, const std::string& failure) {
  pattern += suffix;
  FileDescriptor fd(mkstemps(pattern.data(), static_cast<int>(suffix.size())));
  if (!fd.Valid()) throw Error(failure + ": " + Reason(errno));
  path_ = pattern;
}

JobFile::~JobFile() {
  if (!kept_) std::remove(path_.c_str());
}

void JobFile::Replace(const std::string& target, const std::string& failure) {
  // mkstemps made the file private; a kept document is as readable as any file the user writes
  // (0666 less the umask).
  const mode_t mask = umask(0);
  umask(mask);
  chmod(path_.c_str(), 0666 & ~mask);
  // On disk before it takes the target's name, so a crash never leaves a truncated document.
  const FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid() || fsync(fd.Get()) != 0) throw Error(failure + ": " + Reason(errno));
  if (std::rename(path_.c_str(), target.c_str()) != 0) throw Error(failure + ": " + Reason(errno));
  kept_ = true;
}

}  // namespace tavo
