#include "BatchProgress.h"

#include <unistd.h>

#include <cstdio>

#include "Translation.h"

namespace tavo::tool {
namespace {

// One decimal, as the summary gives seconds and rates.
std::string Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Clock(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

BatchProgress::BatchProgress(size_t files) : files_(files), terminal_(::isatty(STDERR_FILENO)) {}

double BatchProgress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string BatchProgress::Rate() const {
  const double seconds = Seconds();
  return TrPlural(
      "%1 page in %2 s, %3 pages per second", "%1 pages in %2 s, %3 pages per second",
      static_cast<unsigned long>(pages_),
      {std::to_string(pages_), Decimal(seconds), Decimal(seconds > 0 ? pages_ / seconds : 0.0)});
}

void BatchProgress::FileDone(long pages) {
  ++done_;
  pages_ += pages;
  Show(done_ == files_);
}

void BatchProgress::Show(bool now) {
  if (!terminal_) return;
  const auto time = std::chrono::steady_clock::now();
  if (!now && time - lastShown_ < std::chrono::milliseconds(200)) return;
  lastShown_ = time;
  const double seconds = Seconds();
  const double left =
      done_ > 0 ? seconds / static_cast<double>(done_) * static_cast<double>(files_ - done_) : 0.0;
  const std::string line =
      Tr("%1/%2 files, %3 pages, %4 pages/s, %5 left",
         {std::to_string(done_), std::to_string(files_), std::to_string(pages_),
          Decimal(seconds > 0 ? pages_ / seconds : 0.0), Clock(left)});
  std::fprintf(stderr, "\r\033[Kbatch: %s", line.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void BatchProgress::Finish() {
  if (!shown_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace tavo::tool
