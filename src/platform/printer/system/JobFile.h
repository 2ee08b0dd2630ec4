// The file a print job's PDF is written into, removed on every path out unless it was kept:
// beside the target for the PDF printer (renamed over it when the job finishes), or in the
// temporary folder for a CUPS job's spool file.
#pragma once

#include <string>

namespace tavo {

class JobFile {
 public:
  // A new empty file from a mkstemps pattern: `pattern` ends in "XXXXXX", `suffix` follows.
  // Fails with tavo::Error: `failure`, then the system's reason.
  JobFile(std::string pattern, const std::string& suffix, const std::string& failure);
  ~JobFile();
  JobFile(const JobFile&) = delete;
  JobFile& operator=(const JobFile&) = delete;

  const std::string& Path() const { return path_; }
  // Renames the file over `target` with the mode of a new file; afterwards it is not removed.
  // Throws tavo::Error starting with `failure`.
  void Replace(const std::string& target, const std::string& failure);

 private:
  std::string path_;
  bool kept_ = false;
};

}  // namespace tavo
