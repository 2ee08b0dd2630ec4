// The worker processes of a batch: each forked from tavoprint and a host of its own control,
// taking one data file at a time from the parent and answering with the control's report.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace tavo::tool {

// The work of one file, done in a worker: the report as one line of text.
using FileWork = std::function<std::string(size_t file)>;
// Called once in each worker, before its first file: makes its work (and its control).
using MakeFileWork = std::function<FileWork()>;
// Called in the parent with each file's report, as the reports come.
using FileDone = std::function<void(size_t file, const std::string& report)>;

// Does the work of files 0 to count - 1 in `workers` processes, handing each worker the next
// file when it answers, and calls `done` once for every file handed out. A worker that ends
// without answering, or work that throws, answers FileFailureJson with the reason. SIGINT and
// SIGTERM stop the handing out; the files under way are finished. Returns false when stopped.
bool RunWorkers(size_t count, int workers, const MakeFileWork& makeWork, const FileDone& done);

// While it lives, SIGINT and SIGTERM only ask the batch to stop (Requested), and SIGPIPE is
// ignored: a worker that died is seen on its reports.
class StopOnSignal {
 public:
  StopOnSignal();
  ~StopOnSignal();
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;
  static bool Requested();

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

}  // namespace tavo::tool
