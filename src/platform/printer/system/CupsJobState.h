// The state of a print job as the CUPS scheduler reports it, asked afresh at every call.
#pragma once

#include <string>
#include <vector>

namespace tavo {

struct CupsJobState {
  int job = 0;
  // pending, held, processing, stopped, canceled, aborted or completed.
  std::string state;
  std::vector<std::string> reasons;  // job-state-reasons keywords
  std::string message;               // UTF-8 job-state-message; empty when CUPS gives none
};

// The state of job `job` of this process's user. Fails with tavo::Error when the scheduler does
// not answer, or knows no such job of this user.
CupsJobState QueryCupsJob(int job);

}  // namespace tavo
