// A private CUPS scheduler for tests: cupsd with its own configuration, socket, spool and logs in
// a temporary folder, stopped and removed at the end. While it runs, CUPS_SERVER points this
// process (and the commands it starts) at its socket.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace tavo::test {

struct CommandResult {
  int status = -1;     // exit status, -1 when the command did not run or was killed
  std::string output;  // standard output and error together
};

class CupsScheduler {
 public:
  // Starts cupsd and waits for its socket. Running() tells whether it came up; Failure() why not.
  CupsScheduler();
  ~CupsScheduler();
  CupsScheduler(const CupsScheduler&) = delete;
  CupsScheduler& operator=(const CupsScheduler&) = delete;

  // True when a cupsd binary is installed at all (tests skip otherwise).
  static bool Installed();

  bool Running() const { return pid_ > 0; }
  const std::string& Failure() const { return failure_; }
  const std::string& Dir() const { return dir_; }
  std::string SocketPath() const { return dir_ + "/run/cups.sock"; }
  // Where the cups-pdf backend writes its files.
  std::string PdfOutputDir() const { return dir_ + "/pdf"; }
  std::string ErrorLog() const;

  // A shell command run against this scheduler, with its output.
  CommandResult Run(const std::string& command) const;
  // Adds an enabled cups-pdf queue; false with the lpadmin output in `error`.
  bool AddPdfQueue(const std::string& name, std::string& error);
  // Adds an enabled queue without filters whose jobs go to /dev/null: a job completes as soon
  // as the scheduler takes it up.
  bool AddSinkQueue(const std::string& name, std::string& error);
  // Adds an enabled queue described by the PPD text `ppd` (its paper, margins and resolution),
  // whose jobs go to /dev/null; false with the lpadmin output in `error`.
  bool AddPpdQueue(const std::string& name, const std::string& ppd, std::string& error);
  // Adds an enabled queue whose jobs, filtered as a PDF printer takes them (pdftopdf: the pages
  // the printer will print, logged in page_log), are written to the file `pdfPath`.
  bool AddPdfFileQueue(const std::string& name, const std::string& pdfPath, std::string& error);
  // Waits until the scheduler has no job left to process.
  bool WaitForJobs(std::chrono::seconds timeout) const;

 private:
  bool Start();
  void Stop();
  bool WriteConfiguration();

  std::string dir_;
  std::string failure_;
  std::string previousServer_;
  bool hadPreviousServer_ = false;
  pid_t pid_ = -1;
  std::vector<std::string> pdfConfigs_;  // cups-pdf settings files of the queues
};

}  // namespace tavo::test
