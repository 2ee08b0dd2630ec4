// The progress of a batch on a terminal: files done of all, pages, pages per second and the time
// left, on one line that is rewritten at most five times a second; nothing when standard error is
// no terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace tavo::tool {

class BatchProgress {
 public:
  explicit BatchProgress(size_t files);
  // One more file done with that many pages.
  void FileDone(long pages);
  // Clears the line, for the summary.
  void Finish();

  long Pages() const { return pages_; }
  double Seconds() const;
  // "1,234 pages in 12.3 s, 100.3 pages per second".
  std::string Rate() const;

 private:
  void Show(bool now);

  size_t files_;
  size_t done_ = 0;
  long pages_ = 0;
  bool terminal_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace tavo::tool
